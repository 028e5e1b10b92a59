#include "circle/circle.h"

#include "circle/connections.h"
#include "circle/download_session.h"
#include "circle/rescan_countdown.h"
#include "circle/scan_driver.h"
#include "circle/scan_session.h"
#include "nntp/login.h"

#include "base/context.h"

#include <QTimer>

#include <utility>

namespace kestrel {

Circle::Circle(Context &ctx, FavouritesModel &favourites, PendingListModel &pending, HeaderFilter &filter,
               FilterCounters &counters, ArticleSink &sink, QObject *parent)
    : QObject(parent), m_ctx(ctx), m_sink(sink)
{
    m_login = std::make_unique<Login>(ctx);
    m_countdown = std::make_unique<RescanCountdown>(ctx, [this] { restartDue(); });
    m_connections = std::make_unique<Connections>(ctx, m_state, favourites, pending, *m_countdown,
                                                  static_cast<ConnectionEvents &>(*this));
    m_scan = std::make_unique<ScanSession>(ctx, m_state, *m_connections, *m_login, favourites, filter,
                                           counters, static_cast<ScanEvents &>(*this));
    m_download = std::make_unique<DownloadSession>(ctx, m_state, *m_connections, *m_login, pending, counters,
                                                   sink, *m_countdown, static_cast<DownloadEvents &>(*this));
    m_driver = std::make_unique<ScanDriver>(ctx, m_state, *m_connections, *m_scan, favourites, filter,
                                            counters, *m_countdown, static_cast<ScanDriverEvents &>(*this));
    m_login->setPort(ConnectionRole::Scan, m_scan.get());
    m_login->setPort(ConnectionRole::Download, m_download.get());

    connect(&m_connections->scan().socket(), &NntpConnection::dataArrived, this,
            [this] { m_scan->onData(); });
    for (SessionConnection *c : m_connections->downloads())
        connect(&c->socket(), &NntpConnection::dataArrived, this,
                [this, c] { takeRepliesLater(*c, m_download->onData(*c)); });
    sink.setListener(this);
}

Circle::~Circle()
{
    m_sink.setListener(nullptr);
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

void Circle::takeRepliesLater(SessionConnection &c, bool left)
{
    if (left)
        QTimer::singleShot(0, this, [this, &c] { takeRepliesLater(c, m_download->takeReplies(c)); });
}

void Circle::articleFiled(SinkResult result)
{
    m_download->articleFiled(result);
    // Replies left unread while the sink had no room are taken now that it has.
    for (SessionConnection *c : m_connections->downloads())
        takeRepliesLater(*c, m_download->takeReplies(*c));
}

void Circle::sinkWorking()
{
    m_download->sinkWorking();
}

void Circle::takeBackDownloads()
{
    for (SessionConnection *c : m_connections->downloads())
        c->socket().close();
    m_download->requeueUnanswered();
}

// ---- what the parts report ------------------------------------------------------

void Circle::runStopped(bool error)
{
    // The emergency reconnect that closed a scan connection mid-scan reports before
    // the scan has ended; the scan's own end reports instead.
    if (m_driver->cutShortPending())
        return;
    if (m_restartWaiting && m_ctx.state.rescanArmed && !downloadActive()) {
        m_restartWaiting = false;
        m_restart.request();
        return;
    }
    error = std::exchange(m_cutShort, false) || error;
    if (m_waitReported)
        return;
    m_waitReported = true;
    Q_EMIT wouldWait(error);
}

void Circle::runStarting()
{
    m_waitReported = false;
}

void Circle::connectStarting()
{
    m_waitReported = false;
    m_cutShort = false;
    m_restartWaiting = false;
}

bool Circle::downloadActive() const
{
    return m_state.downloadBusy || m_ctx.state.downloadState != DownloadState::Idle;
}

// A scan started now would refuse the articles still to come ("Stop scan first.") and
// stall the run; it starts once the run is over.
void Circle::restartDue()
{
    if (!downloadActive()) {
        connectScan();
        return;
    }
    m_restartWaiting = true;
    m_ctx.writeLog(QStringLiteral("Rescan waits for the download run to end."), true);
}

// The groups read before the connection went have queued their articles: they are
// fetched as after any scan, but the run is reported as one that ended on an error.
void Circle::scanCutShort()
{
    m_cutShort = true;
    if (m_ctx.settings.checked(u"chkAutodownload"))
        m_download->downloadNext();
    else if (!m_ctx.state.rescanArmed)
        runStopped(true);
}

void Circle::scanConnectionReady()
{
    Q_EMIT scanStarting();
    m_driver->startScan();
}

void Circle::groupFinished()
{
    m_driver->groupFinished();
}

void Circle::pendingListFull()
{
    m_driver->scanStoppedMaxPending();
}

void Circle::showLoginWindow()
{
    Q_EMIT loginWindowWanted();
}

void Circle::hideLoginWindow()
{
    Q_EMIT loginWindowHideWanted();
}

void Circle::showNewsgroups()
{
    Q_EMIT newsgroupsWanted();
}

void Circle::scanConnectionRequested()
{
    m_driver->forget();
}

void Circle::scanConnectionOpening()
{
    m_scan->resetForConnect();
}

void Circle::scanConnectionClosed()
{
    const bool groupWasOver = m_scan->groupOver();
    m_scan->failGroup();
    m_driver->connectionClosed(groupWasOver);
}

void Circle::scanQuitSent()
{
    m_driver->stopRequested();
}

// The scan's current group counts as failed too, but the scan driver is not told: it
// moves on once the scan session next reports, after its next batch of replies. The
// download's unanswered requests will not be answered now; they go back on the list.
void Circle::downloadConnectionClosed(SessionConnection &c)
{
    m_scan->failGroup();
    m_download->connectionClosed(c);
}

void Circle::downloadEmergency(SessionConnection &c)
{
    m_download->emergency(c);
}

bool Circle::downloadConnectionRefused(SessionConnection &c)
{
    return m_download->connectionRefused(c);
}

void Circle::downloadWanted()
{
    m_download->downloadNext();
}

} // namespace kestrel
