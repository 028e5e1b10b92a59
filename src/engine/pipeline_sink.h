#pragma once

#include "circle/article_sink.h"

namespace kestrel {

class Circle;
class DecodePipeline;
class PendingListModel;

// Hands each article the download connection finished to the decode pipeline.
class PipelineSink final : public ArticleSink {
public:
    PipelineSink(DecodePipeline &pipeline, PendingListModel &pending)
        : m_pipeline(pipeline), m_pending(pending)
    {
    }
    void setCircle(Circle *circle) { m_circle = circle; }
    SinkResult articleRetrieved(const CapturedArticle &article) override;

private:
    DecodePipeline &m_pipeline;
    PendingListModel &m_pending;
    Circle *m_circle = nullptr;
};

} // namespace kestrel
