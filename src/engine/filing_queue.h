#pragma once

#include "circle/article_sink.h"
#include "decode/decode_worker.h"

#include <deque>
#include <optional>

namespace kestrel {

class PipelineSink;

// The asynchronous sink of the download session: each article goes to the decode
// worker at once, and the session goes on reading replies while it is unstuffed and
// decoded. The pipeline then writes, tests and files the articles here, on the event
// loop's thread, one at a time and in the order they were handed over, and the
// listener hears each result in that order. A part of a picture posted in several
// articles skips the worker: it waits for its turn among the others and the assembly
// decodes it then (a part is small, and its checks need the picture's state).
class FilingQueue final : public ArticleSink {
public:
    explicit FilingQueue(PipelineSink &filer);

    SinkResult articleRetrieved(const CapturedArticle &article) override;
    void setListener(Listener *listener) override { m_listener = listener; }
    bool full() const override;
    void dropTaken() override;
    void pictureAbandoned(const PendingEntry &picture) override;

    qsizetype taken() const { return qsizetype(m_taken.size()); }

private:
    struct Taken {
        CapturedArticle article; // a single article's text is with the worker meanwhile
        qint64 bytes = 0;
        bool viaWorker = false;
        bool skip = false; // a part of a picture abandoned since: neither filed nor kept
        std::optional<PreparedArticle> prepared;

        bool ready() const { return !viaWorker || prepared.has_value(); }
    };

    void onPrepared(PreparedArticle &prepared);
    void fileSoon();
    void fileNext();
    SinkResult file(Taken &taken);
    void onWorking();

    PipelineSink &m_filer;
    Listener *m_listener = nullptr;
    // Handed over and not yet filed, oldest first.
    std::deque<Taken> m_taken;
    qint64 m_takenBytes = 0;
    bool m_fileQueued = false;
    DecodeWorker m_worker;
};

} // namespace kestrel
