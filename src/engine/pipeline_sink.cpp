#include "engine/pipeline_sink.h"

#include "circle/circle.h"
#include "decode/article_capture.h"
#include "nntp/reply_reader.h"
#include "scan/pending_list_model.h"

#include <QTimer>

namespace kestrel {

namespace {

// A picture's parts all carry its entry; its group and first article number name it.
QByteArray pictureKey(const PendingEntry &picture)
{
    return picture.sub.newsgroup + '/' + QByteArray::number(picture.tag.value().value_or(0));
}

} // namespace

SinkResult PipelineSink::articleRetrieved(const CapturedArticle &article)
{
    RetrievedArticle retrieved;
    retrieved.buffer = article.articleBuffer;
    retrieved.fileName = article.fileName;
    retrieved.group = article.group;
    retrieved.bytes = article.bytes;
    retrieved.downloadStart = article.downloadStart;
    // The answer says what was asked: 220 carries the headers (ARTICLE), 222 not (BODY).
    const qsizetype eol = article.articleBuffer.indexOf('\n');
    retrieved.headersRequested =
        replyCode(
            QByteArrayView(article.articleBuffer).first(eol < 0 ? article.articleBuffer.size() : eol)) == 220;
    if (article.partTotal > 0)
        return partRetrieved(article, retrieved);

    const DecodeResult result = kestrel::articleRetrieved(m_pipeline, retrieved);
    if (result == DecodeResult::NotStored)
        return SinkResult::NotStored;
    if (result != DecodeResult::NoDownloadFolder)
        return SinkResult::Done;
    noDownloadFolder();
    return SinkResult::Done;
}

SinkResult PipelineSink::partRetrieved(const CapturedArticle &article, const RetrievedArticle &retrieved)
{
    const RetrievedPart part{pictureKey(article.picture), article.partNumber, article.partTotal, retrieved};
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
    // The picture goes back here, whole; the session must not fetch the rest of it.
    noDownloadFolder();
    return SinkResult::PictureDropped;
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
    m_assembly.abandon(pictureKey(picture));
}

} // namespace kestrel
