#include "engine/pipeline_sink.h"

#include "circle/circle.h"
#include "decode/article_capture.h"
#include "nntp/reply_reader.h"
#include "scan/pending_list_model.h"

#include <QTimer>

namespace kestrel {

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

    const DecodeResult result = kestrel::articleRetrieved(m_pipeline, retrieved);
    if (result == DecodeResult::NotStored)
        return SinkResult::NotStored;
    if (result != DecodeResult::NoDownloadFolder)
        return SinkResult::Done;
    // Nowhere to file pictures: keep the article and stop the run instead of fetching
    // every other one into the same dead end. The stop comes once the session has
    // finished with this article; it puts the next one it took back too.
    m_pending.requeueArticle();
    if (m_circle) {
        Circle *circle = m_circle;
        QTimer::singleShot(0, circle, [circle] { circle->abortDownload(); });
    }
    return SinkResult::Done;
}

} // namespace kestrel
