#pragma once

#include "decode/prepared_article.h"

#include <QObject>
#include <QThread>

#include <atomic>
#include <functional>
#include <memory>

namespace kestrel {

// Runs prepareArticle on a thread of its own, so that the thread reading the network
// is not held up by the unstuffing and decoding of each article. Articles are
// prepared one at a time in the order submitted, and each comes back through the
// `prepared` callback on the thread that owns the worker, in that same order.
class DecodeWorker : public QObject {
    Q_OBJECT
public:
    using Prepared = std::function<void(PreparedArticle &article)>;
    using Working = std::function<void()>;

    // prepared: called once per article submitted and not discarded. working: called
    // now and then while a large article decodes, so that whoever waits for it knows
    // it is under way.
    DecodeWorker(Prepared prepared, Working working, QObject *parent = nullptr);
    // Waits for the article being prepared, if any; the others are dropped unreported.
    ~DecodeWorker() override;

    void submit(QByteArray article, bool hasHeaders);
    // Every article submitted so far is dropped: none of them is reported any more.
    void discardAll();

private:
    bool current(quint64 generation) const { return m_generation.load() == generation; }
    void prepare(const std::shared_ptr<QByteArray> &article, bool hasHeaders, quint64 generation);

    Prepared m_prepared;
    Working m_working;
    QThread m_thread;
    // Lives in m_thread: what is queued to it runs there.
    std::unique_ptr<QObject> m_inThread;
    std::atomic<quint64> m_generation{0};
};

} // namespace kestrel
