#pragma once

#include "circle/article_sink.h"

namespace kestrel {

class Circle;
class DecodePipeline;
class PendingListModel;
struct PreparedArticle;
struct RetrievedArticle;

// Hands each article the download connection finished to the decode pipeline.
class PipelineSink final : public ArticleSink {
public:
    PipelineSink(DecodePipeline &pipeline, PendingListModel &pending)
        : m_pipeline(pipeline), m_pending(pending)
    {
    }
    void setCircle(Circle *circle) { m_circle = circle; }
    SinkResult articleRetrieved(const CapturedArticle &article) override;
    // Writes, tests and files an article the decode worker has decoded, as the
    // pipeline's article in hand for that time. Never Taken.
    SinkResult filePrepared(const CapturedArticle &article, const PreparedArticle &prepared);

    // The answer says what was asked: 220 carries the headers (ARTICLE), 222 not (BODY).
    static bool headersRequested(const CapturedArticle &article);

private:
    DecodePipeline &m_pipeline;
    PendingListModel &m_pending;
    Circle *m_circle = nullptr;
};

} // namespace kestrel
