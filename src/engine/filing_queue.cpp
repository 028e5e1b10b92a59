#include "engine/filing_queue.h"

#include "engine/pipeline_sink.h"

#include <QTimer>

#include <algorithm>

namespace kestrel {

namespace {

// What may wait for the worker: a few articles, and never more than a few large ones'
// worth, so that memory stays a small multiple of the requests on their way. The
// socket holds the rest until there is room.
constexpr size_t kMaxTaken = 8;
constexpr qint64 kMaxTakenBytes = 64 * 1024 * 1024;

bool samePicture(const CapturedArticle &part, const PendingEntry &picture)
{
    return part.partTotal > 0 && part.entry.articleKey() == picture.articleKey();
}

} // namespace

FilingQueue::FilingQueue(PipelineSink &filer)
    : m_filer(filer), m_worker([this](PreparedArticle &p) { onPrepared(p); }, [this] { onWorking(); })
{
}

SinkResult FilingQueue::articleRetrieved(const CapturedArticle &article)
{
    Taken taken{article, article.articleBuffer.size(), article.partTotal == 0, false, std::nullopt};
    if (taken.viaWorker) {
        m_worker.submit(article.articleBuffer, PipelineSink::headersRequested(article));
        // The worker owns the text now; the filing gets it back with the prepared article.
        taken.article.articleBuffer = QByteArray();
    }
    m_takenBytes += taken.bytes;
    m_taken.push_back(std::move(taken));
    if (m_taken.front().ready())
        fileSoon();
    return SinkResult::Taken;
}

bool FilingQueue::full() const
{
    return m_taken.size() >= kMaxTaken || m_takenBytes >= kMaxTakenBytes;
}

// A picture may be half assembled from parts filed already; the parts given up with
// the rest will not finish it, so its work goes too.
void FilingQueue::dropTaken()
{
    m_worker.discardAll();
    std::deque<Taken> dropped = std::exchange(m_taken, {});
    m_takenBytes = 0;
    for (const Taken &t : dropped)
        if (t.article.partTotal > 0 && !t.skip)
            m_filer.pictureAbandoned(t.article.entry);
}

void FilingQueue::pictureAbandoned(const PendingEntry &picture)
{
    for (Taken &t : m_taken)
        if (samePicture(t.article, picture))
            t.skip = true;
    m_filer.pictureAbandoned(picture);
}

// Articles come back from the worker in the order submitted: each belongs to the
// oldest single article still waiting for it.
void FilingQueue::onPrepared(PreparedArticle &prepared)
{
    const auto waiting = std::find_if(m_taken.begin(), m_taken.end(),
                                      [](const Taken &t) { return t.viaWorker && !t.prepared; });
    if (waiting == m_taken.end())
        return;
    waiting->prepared = std::move(prepared);
    if (m_taken.front().ready())
        fileSoon();
}

// Several articles may be ready at once; each is filed in a turn of the event loop of
// its own, so that the replies, the timers and the windows get their turns in between.
void FilingQueue::fileSoon()
{
    if (m_fileQueued)
        return;
    m_fileQueued = true;
    QTimer::singleShot(0, &m_worker, [this] { fileNext(); });
}

void FilingQueue::fileNext()
{
    m_fileQueued = false;
    if (m_taken.empty() || !m_taken.front().ready())
        return;
    Taken taken = std::move(m_taken.front());
    m_taken.pop_front();
    m_takenBytes -= taken.bytes;
    if (!m_taken.empty() && m_taken.front().ready())
        fileSoon();
    const SinkResult result = file(taken);
    if (m_listener)
        m_listener->articleFiled(result);
}

SinkResult FilingQueue::file(Taken &taken)
{
    // Its picture was given up while it waited: the drop was logged then.
    if (taken.skip)
        return SinkResult::PictureDropped;
    if (!taken.viaWorker)
        return m_filer.fileTakenPart(taken.article);
    taken.article.articleBuffer = taken.prepared->article;
    return m_filer.filePrepared(taken.article, *taken.prepared);
}

void FilingQueue::onWorking()
{
    if (m_listener)
        m_listener->sinkWorking();
}

} // namespace kestrel
