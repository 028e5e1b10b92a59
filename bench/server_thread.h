#pragma once

#include "newsd/article_store.h"
#include "newsd/news_server.h"

#include <QObject>
#include <QThread>

#include <memory>

namespace kestrel::bench {

// The test news server, made, run and deleted in a thread of its own, so that the
// benchmark's event loop is the client's alone.
class ServerThread {
public:
    explicit ServerThread(std::shared_ptr<newsd::ArticleStore> store, int latencyMs = 0)
        : ServerThread(std::move(store), latencyPlan(latencyMs))
    {
    }
    ServerThread(std::shared_ptr<newsd::ArticleStore> store, const newsd::FaultPlan &faults)
    {
        m_thread.start();
        m_anchor.moveToThread(&m_thread);
        QMetaObject::invokeMethod(
            &m_anchor,
            [this, store, faults] {
                m_server = new newsd::NewsServer(store);
                m_server->setFaults(faults);
                m_server->listen();
                m_port = m_server->port();
            },
            Qt::BlockingQueuedConnection);
    }
    ~ServerThread()
    {
        QMetaObject::invokeMethod(
            &m_anchor, [this] { delete m_server; }, Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }
    ServerThread(const ServerThread &) = delete;
    ServerThread &operator=(const ServerThread &) = delete;

    quint16 port() const { return m_port; }

private:
    static newsd::FaultPlan latencyPlan(int latencyMs)
    {
        newsd::FaultPlan faults;
        faults.latencyMs = latencyMs;
        return faults;
    }

    QThread m_thread;
    QObject m_anchor;
    newsd::NewsServer *m_server = nullptr;
    quint16 m_port = 0;
};

} // namespace kestrel::bench
