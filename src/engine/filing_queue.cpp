#include "engine/filing_queue.h"

#include "engine/pipeline_sink.h"

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
    m_takenBytes = 0;
}

void FilingQueue::onPrepared(PreparedArticle &prepared)
{
    if (m_taken.empty())
        return;
    CapturedArticle article = std::move(m_taken.front());
    m_taken.pop_front();
    m_takenBytes -= prepared.article.size();
    article.articleBuffer = prepared.article;
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
