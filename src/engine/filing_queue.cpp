#include "engine/filing_queue.h"

#include "engine/pipeline_sink.h"

#include <QTimer>

namespace kestrel {

namespace {

// What may wait for the worker: a few articles, and never more than a few large ones'
// worth, so that memory stays a small multiple of the requests on their way. The
// socket holds the rest until there is room.
constexpr size_t kMaxTaken = 8;
constexpr qint64 kMaxTakenBytes = 64 * 1024 * 1024;

} // namespace

FilingQueue::FilingQueue(PipelineSink &filer)
    : m_filer(filer), m_worker([this](PreparedArticle &p) { onPrepared(p); }, [this] { onWorking(); })
{
}

SinkResult FilingQueue::articleRetrieved(const CapturedArticle &article)
{
    m_worker.submit(article.articleBuffer, PipelineSink::headersRequested(article));
    m_taken.push_back(article);
    // The worker owns the text now; the filing gets it back with the prepared article.
    m_taken.back().articleBuffer = QByteArray();
    m_takenBytes += article.articleBuffer.size();
    return SinkResult::Taken;
}

bool FilingQueue::full() const
{
    return m_taken.size() >= kMaxTaken || m_takenBytes >= kMaxTakenBytes;
}

void FilingQueue::dropTaken()
{
    m_worker.discardAll();
    m_taken.clear();
    m_ready.clear();
    m_takenBytes = 0;
}

// Several articles may come back from the worker at once; each is filed in a turn of
// the event loop of its own, so that the replies, the timers and the windows get their
// turns in between.
void FilingQueue::onPrepared(PreparedArticle &prepared)
{
    m_ready.push_back(std::move(prepared));
    if (m_fileQueued)
        return;
    m_fileQueued = true;
    QTimer::singleShot(0, &m_worker, [this] { fileNext(); });
}

void FilingQueue::fileNext()
{
    m_fileQueued = false;
    if (m_ready.empty() || m_taken.empty())
        return;
    const PreparedArticle prepared = std::move(m_ready.front());
    m_ready.pop_front();
    CapturedArticle article = std::move(m_taken.front());
    m_taken.pop_front();
    m_takenBytes -= prepared.article.size();
    article.articleBuffer = prepared.article;
    if (!m_ready.empty()) {
        m_fileQueued = true;
        QTimer::singleShot(0, &m_worker, [this] { fileNext(); });
    }
    const SinkResult result = m_filer.filePrepared(article, prepared);
    if (m_listener)
        m_listener->articleFiled(result);
}

void FilingQueue::onWorking()
{
    if (m_listener)
        m_listener->sinkWorking();
}

} // namespace kestrel
