#pragma once

#include "circle/article_sink.h"
#include "decode/decode_worker.h"

#include <deque>

namespace kestrel {

class PipelineSink;

// The asynchronous sink of the download session: each article goes to the decode
// worker at once, and the session goes on reading replies while it is unstuffed and
// decoded. The pipeline then writes, tests and files the articles here, on the event
// loop's thread, one at a time and in the order they were handed over, and the
// listener hears each result in that order.
class FilingQueue final : public ArticleSink {
public:
    explicit FilingQueue(PipelineSink &filer);

    SinkResult articleRetrieved(const CapturedArticle &article) override;
    void setListener(Listener *listener) override { m_listener = listener; }
    bool full() const override;
    void dropTaken() override;

    qsizetype taken() const { return qsizetype(m_taken.size()); }

private:
    void onPrepared(PreparedArticle &prepared);
    void fileNext();
    void onWorking();

    PipelineSink &m_filer;
    Listener *m_listener = nullptr;
    // Handed over and not yet filed, oldest first; their text is with the worker.
    std::deque<CapturedArticle> m_taken;
    qint64 m_takenBytes = 0;
    // Prepared and waiting for their turn to be filed, oldest first.
    std::deque<PreparedArticle> m_ready;
    bool m_fileQueued = false;
    DecodeWorker m_worker;
};

} // namespace kestrel
