#pragma once

#include "circle/article_sink.h"
#include "decode/picture_assembly.h"

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
        : m_pipeline(pipeline), m_pending(pending), m_assembly(pipeline)
    {
    }
    void setCircle(Circle *circle) { m_circle = circle; }
    SinkResult articleRetrieved(const CapturedArticle &article) override;
    void pictureAbandoned(const PendingEntry &picture) override;
    // Writes, tests and files an article the decode worker has decoded, as the
    // pipeline's article in hand for that time. Never Taken.
    SinkResult filePrepared(const CapturedArticle &article, const PreparedArticle &prepared);
    // Adds a part taken earlier to its picture, as the pipeline's article in hand for
    // that time; NoFolder when there is nowhere to put it. Never Taken.
    SinkResult fileTakenPart(const CapturedArticle &article);

    // The answer says what was asked: 220 carries the headers (ARTICLE), 222 not (BODY).
    static bool headersRequested(const CapturedArticle &article);

private:
    SinkResult partRetrieved(const CapturedArticle &article);
    SinkResult assemblePart(const CapturedArticle &article);
    void noDownloadFolder();

    DecodePipeline &m_pipeline;
    PendingListModel &m_pending;
    PictureAssembly m_assembly;
    Circle *m_circle = nullptr;
};

} // namespace kestrel
