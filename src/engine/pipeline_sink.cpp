#include "engine/pipeline_sink.h"

#include "circle/circle.h"
#include "decode/article_capture.h"
#include "decode/prepared_article.h"
#include "nntp/reply_reader.h"
#include "scan/pending_list_model.h"

#include "base/context.h"

#include <QTimer>

#include <utility>

namespace kestrel {

namespace {

// The pipeline reads the article in hand (its CSV mark and subject). An article filed
// after it was handed over is no longer the session's article in hand: while it is
// filed, it stands there in its place.
class ArticleInHand {
public:
    ArticleInHand(Context &ctx, const PendingEntry &entry)
        : m_ctx(ctx), m_saved(std::exchange(ctx.state.currentArticle, entry))
    {
    }
    ~ArticleInHand() { m_ctx.state.currentArticle = std::move(m_saved); }
    ArticleInHand(const ArticleInHand &) = delete;
    ArticleInHand &operator=(const ArticleInHand &) = delete;

private:
    Context &m_ctx;
    PendingEntry m_saved;
};

RetrievedArticle retrievedOf(const CapturedArticle &article)
{
    RetrievedArticle retrieved;
    retrieved.buffer = article.articleBuffer;
    retrieved.fileName = article.fileName;
    retrieved.group = article.group;
    retrieved.bytes = article.bytes;
    retrieved.downloadStart = article.downloadStart;
    retrieved.downloadEnd = article.downloadEnd;
    retrieved.headersRequested = PipelineSink::headersRequested(article);
    return retrieved;
}

} // namespace

bool PipelineSink::headersRequested(const CapturedArticle &article)
{
    const qsizetype eol = article.articleBuffer.indexOf('\n');
    return replyCode(
               QByteArrayView(article.articleBuffer).first(eol < 0 ? article.articleBuffer.size() : eol)) ==
           220;
}

SinkResult PipelineSink::filePrepared(const CapturedArticle &article, const PreparedArticle &prepared)
{
    RetrievedArticle retrieved = retrievedOf(article);
    retrieved.prepared = &prepared;
    const ArticleInHand inHand(m_pipeline.context(), article.entry);
    const DecodeResult result = kestrel::articleRetrieved(m_pipeline, retrieved);
    if (result == DecodeResult::NotStored)
        return SinkResult::NotStored;
    return result == DecodeResult::NoDownloadFolder ? SinkResult::NoFolder : SinkResult::Done;
}

SinkResult PipelineSink::articleRetrieved(const CapturedArticle &article)
{
    if (article.partTotal > 0)
        return partRetrieved(article);
    const DecodeResult result = kestrel::articleRetrieved(m_pipeline, retrievedOf(article));
    if (result == DecodeResult::NotStored)
        return SinkResult::NotStored;
    if (result != DecodeResult::NoDownloadFolder)
        return SinkResult::Done;
    noDownloadFolder();
    return SinkResult::Done;
}

SinkResult PipelineSink::partRetrieved(const CapturedArticle &article)
{
    const SinkResult result = assemblePart(article);
    if (result != SinkResult::NoFolder)
        return result;
    // The picture goes back here, whole; the session must not fetch the rest of it.
    noDownloadFolder();
    return SinkResult::PictureDropped;
}

SinkResult PipelineSink::fileTakenPart(const CapturedArticle &article)
{
    // The last part files the picture, which reads the article in hand as a single
    // article does.
    const ArticleInHand inHand(m_pipeline.context(), article.entry);
    return assemblePart(article);
}

SinkResult PipelineSink::assemblePart(const CapturedArticle &article)
{
    const RetrievedPart part{article.entry.articleKey(), article.partNumber, article.partTotal,
                             retrievedOf(article)};
    switch (m_assembly.partRetrieved(part).result) {
    case PartResult::Waiting:
    case PartResult::Finished:
        return SinkResult::Done;
    case PartResult::Dropped:
        return SinkResult::PictureDropped;
    case PartResult::NotStored:
        return SinkResult::NotStored;
    case PartResult::NoDownloadFolder:
        break;
    }
    return SinkResult::NoFolder;
}

// Nowhere to file pictures: keep the article (the pipeline reads the article in hand,
// a picture's entry for its parts) and stop the run instead of fetching every other one
// into the same dead end. The stop comes once the session has finished with this
// article; it puts the next one it took back too.
void PipelineSink::noDownloadFolder()
{
    m_pending.requeueArticle();
    if (m_circle) {
        Circle *circle = m_circle;
        QTimer::singleShot(0, circle, [circle] { circle->abortDownload(); });
    }
}

void PipelineSink::pictureAbandoned(const PendingEntry &picture)
{
    m_assembly.abandon(picture.articleKey());
}

} // namespace kestrel
