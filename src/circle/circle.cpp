#include "circle/circle.h"

#include "circle/connections.h"
#include "circle/download_session.h"
#include "nntp/login.h"
#include "circle/scan_session.h"

#include "base/context.h"
#include "circle/rescan_countdown.h"
#include "circle/scan_driver.h"

namespace kestrel {

Circle::Circle(Context &ctx, FavouritesModel &favourites, PendingListModel &pending, HeaderFilter &filter,
               FilterCounters &counters, ArticleSink &sink, QObject *parent)
    : QObject(parent), m_ctx(ctx), m_favourites(favourites), m_pending(pending), m_filter(filter),
      m_counters(counters), m_sink(sink)
{
    m_login = std::make_unique<Login>(ctx);
    m_connections = std::make_unique<Connections>(*this);
    m_scan = std::make_unique<ScanSession>(*this);
    m_download = std::make_unique<DownloadSession>(*this);
    m_driver = std::make_unique<ScanDriver>(*this);
    m_countdown = std::make_unique<RescanCountdown>(ctx, [this] { connectScan(); });
    m_login->setPort(ConnectionRole::Scan, m_scan.get());
    m_login->setPort(ConnectionRole::Download, m_download.get());

    connect(&m_connections->scan().socket(), &NntpConnection::dataArrived, this, [this] { m_scan->onData(); });
    connect(&m_connections->download().socket(), &NntpConnection::dataArrived, this,
            [this](qsizetype bytes) { m_download->onData(bytes); });
}

Circle::~Circle()
{
    // The sockets go first, so that no event reaches a session being taken apart.
    m_connections.reset();
}

void Circle::connectScan()
{
    m_connections->connectScan();
}

void Circle::stopScan()
{
    m_driver->stopScan();
}

void Circle::abortDownload()
{
    m_download->abortDownload();
}

void Circle::downloadNext()
{
    m_download->downloadNext();
}

void Circle::sendQuit(ConnectionRole role)
{
    m_connections->sendQuit(m_connections->first(role));
}

void Circle::pollDriver()
{
    if (m_pollPending)
        return;
    m_pollPending = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_pollPending = false;
            m_driver->poll();
        },
        Qt::QueuedConnection);
}

void Circle::reportWait(bool error)
{
    if (m_waitReported)
        return;
    m_waitReported = true;
    Q_EMIT wouldWait(error);
}

} // namespace kestrel
