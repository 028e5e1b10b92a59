#include "circle/connections.h"

#include "circle/connection_events.h"
#include "circle/scan_display.h"
#include "circle/session_state.h"
#include "nntp/reply_reader.h"
#include "nntp/socket_state.h"
#include "nntp/tls_policy.h"

#include "base/context.h"
#include "base/number_text.h"
#include "circle/rescan_countdown.h"
#include "scan/favourites.h"
#include "scan/pending_list_model.h"

namespace kestrel {

Connections::Connections(Context &ctx, SessionState &state, FavouritesModel &favourites,
                         PendingListModel &pending, RescanCountdown &countdown, ConnectionEvents &events)
    : m_ctx(ctx), m_state(state), m_favourites(favourites), m_pending(pending), m_countdown(countdown),
      m_events(events)
{
    for (SessionConnection *c : m_pool.all()) {
        connect(&c->watchdog(), &QTimer::timeout, this, [this, c] { watchdogTick(*c); });
        connect(&c->socket(), &NntpConnection::socketError, this,
                [this, c](const QString &d) { onSocketError(*c, d); });
        connect(&c->socket(), &NntpConnection::peerClosed, this, [this, c] { onPeerClosed(*c); });
    }
}

int Connections::loginPort()
{
    QString port = m_ctx.settings.text(u"txtPort");
    if (port.isEmpty()) {
        port = defaultPortText(m_ctx.settings);
        m_ctx.settings.setText(u"txtPort", port);
    }
    qsizetype digits = 0;
    while (digits < port.size() && port[digits].isDigit() && digits < 9)
        ++digits;
    return port.left(digits).toInt();
}

void Connections::connectScan()
{
    m_events.connectStarting();
    const int port = loginPort();
    // The host is trimmed here as on the download connection: a blank typed after the
    // name must not make the lookup fail.
    const QString host = m_ctx.settings.text(u"txtHost").trimmed();
    if (host.isEmpty()) {
        m_ctx.prompter.message(
            QStringLiteral("Enter News Server name, and then click connect again.") + QStringLiteral("\r\r") +
            QStringLiteral("  This is usually 'news.(hostname).net' or something similar.  "
                           "Contact your system admin if you are unsure."));
        m_events.runStopped(true);
        return;
    }
    if (m_favourites.rowCount() == 0) {
        m_events.hideLoginWindow();
        m_ctx.prompter.message(
            QStringLiteral("Before scanning, you need to specify some newsgroups.  ") +
            QStringLiteral("\r\r") +
            QStringLiteral("Usually you do this from the Options menu / Newsgroups tab / Add "
                           "button, but this time I'll pop it up for you."));
        m_events.showNewsgroups();
        m_events.runStopped(true);
        return;
    }
    m_state.useXover = m_ctx.settings.checked(u"chkXOVER");
    m_events.scanConnectionRequested();
    SessionConnection &scan = m_pool.scan();
    if (!scan.socket().isClosed()) {
        m_ctx.writeLog(QStringLiteral("Connection Error, please wait..."), true);
        closeConnection(scan);
    }
    m_state.scanQuitSent = false;
    m_ctx.state.rescanArmed = false;
    m_events.hideLoginWindow();
    m_ctx.display.setGroupText(QString());
    m_ctx.display.setScanEnabled(false);
    if (!scan.socket().isClosed()) {
        m_ctx.writeLog(QStringLiteral("Connection Error..."), true);
        return;
    }
    if (port <= 0 || port > 65535) {
        m_ctx.writeLog(QStringLiteral("Invalid port number"), true);
        sendQuit(scan);
        m_events.runStopped(true);
        return;
    }
    m_events.scanConnectionOpening();
    scan.socket().open(host, quint16(port), tlsPolicy(m_ctx));
    scan.startWatching(m_ctx.clock.msecsSinceStart());
    m_ctx.writeLog(QStringLiteral("Connecting..."), true);
}

void Connections::connectDownload(SessionConnection &c)
{
    const int port = loginPort();
    const QString host = m_ctx.settings.text(u"txtHost").trimmed();
    c.socket().open(host, quint16(port > 0 && port <= 65535 ? port : 0), tlsPolicy(m_ctx));
    c.startWatching(m_ctx.clock.msecsSinceStart());
}

void Connections::closeConnection(SessionConnection &c)
{
    c.socket().close();
    c.disarm();
    if (c.role() == ConnectionRole::Scan)
        showScanStatus();
    else
        showDownloadStatus(c);
}

void Connections::showScanStatus()
{
    const QString text = socketStateText(m_pool.scan().socket().state());
    if (!text.isEmpty())
        m_ctx.display.setGroupText(text);
    resetScanBars(m_ctx.display);
    m_ctx.display.setScanEnabled(true);
    m_events.scanConnectionClosed();
}

// The download session puts the connection's unanswered articles back on the list.
void Connections::showDownloadStatus(SessionConnection &c)
{
    const QString text = socketStateText(c.socket().state());
    m_events.downloadConnectionClosed(c);
    if (!text.isEmpty())
        m_ctx.writeLog(text, true);
}

void Connections::sendQuit(SessionConnection &c)
{
    c.disarm();
    if (c.role() != ConnectionRole::Scan) {
        c.send("QUIT");
        m_ctx.display.setScanEnabled(true);
        return;
    }
    m_state.scanQuitSent = true;
    c.send("QUIT");
    clearScanProgress(m_ctx.display);
    m_ctx.display.setScanEnabled(m_ctx.state.downloadState == DownloadState::Idle);
    m_state.scanStopRequested = true;
    m_events.scanQuitSent();
}

// A scan connection is left alone while a download runs, a download connection while a
// scan runs: the emergency would end the other's work too.
bool Connections::mayReconnect(ConnectionRole role)
{
    const AppState &state = m_ctx.state;
    return role == ConnectionRole::Scan ? state.downloadState == DownloadState::Idle : !state.scanning;
}

void Connections::emergencyReconnect(SessionConnection &c)
{
    if (c.role() == ConnectionRole::Download && !c.greeted() && m_events.downloadConnectionRefused(c)) {
        closeConnection(c);
        return;
    }
    if (!mayReconnect(c.role()))
        return;
    if (c.role() == ConnectionRole::Download)
        m_events.downloadEmergency(c);
    closeConnection(c);

    // Whether or not a restart follows, nothing is running any more: a run left marked
    // busy would refuse every later start.
    m_ctx.state.downloadState = DownloadState::Idle;
    m_state.downloadBusy = false;
    m_ctx.display.setDownloadLightBusy(false);
    m_ctx.writeLog(QStringLiteral("Done!"), false);
    m_ctx.state.scanning = false;
    m_ctx.display.setBarVisible(ProgressBar::Article, false);
    resetScanBars(m_ctx.display);
    if (!m_ctx.settings.checked(u"chkAllowRestart")) {
        m_events.runStopped(true);
        return;
    }
    m_countdown.arm(90);
    m_ctx.writeLog(QStringLiteral("Emergency Reconnect in") + numText(90) + QStringLiteral(" seconds."),
                   true);
}

void Connections::serviceEnded(SessionConnection &c, const NntpReply &reply)
{
    const QString answer = displayText(reply.statusLine().toByteArray());
    QString head;
    if (c.greeted())
        head = QStringLiteral("The news server is closing the connection");
    else if (reply.code == 400)
        head = QStringLiteral("The news server is not available now");
    else
        head = QStringLiteral("The news server refused the connection");
    m_ctx.writeLog(head + QStringLiteral(" (") + c.roleName().toLower() + QStringLiteral("): ") + answer,
                   true);
    emergencyReconnect(c);
}

void Connections::watchdogTick(SessionConnection &c)
{
    if (!c.watchdogArmed()) {
        c.watchdog().stop();
        return;
    }
    const qint64 now = m_ctx.clock.msecsSinceStart();
    if (c.heldBack()) {
        // Both judgements start afresh once the replies are taken again.
        c.touch(now);
        c.startRateWindow(now);
        return;
    }
    const qint64 seconds = (now - c.lastActivityMs()) / 1000;
    const int limit = m_ctx.settings.slider(u"sldTimeout");
    if (seconds <= limit) {
        checkTransferRate(c, now, limit);
        return;
    }
    const QString which = c.roleName();
    m_ctx.writeLog(c.greeted()
                       ? which + QStringLiteral(" connection silent for more than") + numText(limit) +
                             QStringLiteral(" seconds.")
                       : which + QStringLiteral(" connection: no answer from the news server within") +
                             numText(limit) + QStringLiteral(" seconds."),
                   true);
    emergencyReconnect(c);
    // Said once: a connection the emergency leaves alone (a scan connection during a
    // download run) is not reported again every second.
    c.disarm();
}

// A server that sends a byte now and then is never silent, yet a reply at that pace
// never ends. A reply under way for longer than the watchdog's time that came slower
// than the minimum rate takes the watchdog's path too. Time between replies does not
// count: a server may take its time to start an answer.
void Connections::checkTransferRate(SessionConnection &c, qint64 now, int limit)
{
    if (!c.midReply()) {
        c.startRateWindow(now);
        return;
    }
    const qint64 seconds = (now - c.rateWindowStartMs()) / 1000;
    if (seconds <= limit)
        return;
    if (c.rateWindowBytes() >= kMinBytesPerSecond * seconds) {
        c.startRateWindow(now);
        return;
    }
    m_ctx.writeLog(c.roleName() + QStringLiteral(" connection too slow:") + numText(c.rateWindowBytes()) +
                       QStringLiteral(" bytes in") + numText(seconds) + QStringLiteral(" seconds."),
                   true);
    emergencyReconnect(c);
    c.disarm();
}

void Connections::onSocketError(SessionConnection &c, const QString &description)
{
    c.watchdog().stop();
    m_ctx.writeLog(description, true);
    emergencyReconnect(c);
}

void Connections::onPeerClosed(SessionConnection &c)
{
    c.watchdog().stop();
    if (c.socket().quitSent()) {
        closeConnection(c);
        return;
    }
    // Closed without a goodbye: whatever was under way will not be answered.
    m_ctx.writeLog(QStringLiteral("The news server closed the connection."), true);
    if (c.role() == ConnectionRole::Scan && !mayReconnect(c.role())) {
        closeConnection(c);
        return;
    }
    emergencyReconnect(c);
}

} // namespace kestrel
