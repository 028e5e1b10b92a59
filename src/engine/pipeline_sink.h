#pragma once

#include "circle/article_sink.h"
#include "decode/picture_assembly.h"

namespace kestrel {

class Circle;
class DecodePipeline;
class PendingListModel;

// Hands each article the download connection finished to the decode pipeline.
class PipelineSink final : public ArticleSink {
public:
    PipelineSink(DecodePipeline &pipeline, PendingListModel &pending)
        : m_pipeline(pipeline), m_pending(pending), m_assembly(pipeline)
    {
    }
    void setCircle(Circle *circle) { m_circle = circle; }
    SinkResult articleRetrieved(const CapturedArticle &article) override;
    void pictureAbandoned(const PendingEntry &picture) override;

private:
    SinkResult partRetrieved(const CapturedArticle &article, const RetrievedArticle &retrieved);
    void noDownloadFolder();

    DecodePipeline &m_pipeline;
    PendingListModel &m_pending;
    PictureAssembly m_assembly;
    Circle *m_circle = nullptr;
};

} // namespace kestrel
