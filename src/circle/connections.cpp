#include "circle/connections.h"

#include "circle/circle.h"
#include "circle/download_session.h"
#include "circle/scan_session.h"
#include "nntp/socket_state.h"
#include "nntp/tls_policy.h"

#include "base/context.h"
#include "base/number_text.h"
#include "scan/favourites.h"
#include "scan/pending_list_model.h"
#include "circle/rescan_countdown.h"
#include "circle/scan_driver.h"

namespace kestrel {

Connections::Connections(Circle &circle) : m_c(circle)
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
    Context &ctx = m_c.ctx();
    QString port = ctx.settings.text(u"txtPort");
    if (port.isEmpty()) {
        port = defaultPortText(ctx.settings);
        ctx.settings.setText(u"txtPort", port);
    }
    qsizetype digits = 0;
    while (digits < port.size() && port[digits].isDigit() && digits < 9)
        ++digits;
    return port.left(digits).toInt();
}

void Connections::connectScan()
{
    Context &ctx = m_c.ctx();
    m_c.rearmWaitReport();
    const int port = loginPort();
    // The host is trimmed here as on the download connection: a blank typed after the
    // name must not make the lookup fail.
    const QString host = ctx.settings.text(u"txtHost").trimmed();
    if (host.isEmpty()) {
        ctx.prompter.message(QStringLiteral("Enter News Server name, and then click connect again.") +
                             QStringLiteral("\r\r") +
                             QStringLiteral("  This is usually 'news.(hostname).net' or something similar.  "
                                            "Contact your system admin if you are unsure."));
        m_c.reportWait(true);
        return;
    }
    if (m_c.favourites().rowCount() == 0) {
        Q_EMIT m_c.loginWindowHideWanted();
        ctx.prompter.message(
            QStringLiteral("Before scanning, you need to specify some newsgroups.  ") +
            QStringLiteral("\r\r") +
            QStringLiteral("Usually you do this from the Options menu / Newsgroups tab / Add "
                           "button, but this time I'll pop it up for you."));
        Q_EMIT m_c.newsgroupsWanted();
        m_c.reportWait(true);
        return;
    }
    SessionState &s = m_c.state();
    s.useXover = ctx.settings.checked(u"chkXOVER");
    m_c.driver().forget();
    SessionConnection &scan = m_pool.scan();
    if (!scan.socket().isClosed()) {
        ctx.writeLog(QStringLiteral("Connection Error, please wait..."), true);
        closeConnection(scan);
    }
    s.scanQuitSent = false;
    ctx.state.rescanArmed = false;
    Q_EMIT m_c.loginWindowHideWanted();
    ctx.display.setGroupText(QString());
    ctx.display.setScanEnabled(false);
    if (!scan.socket().isClosed()) {
        ctx.writeLog(QStringLiteral("Connection Error..."), true);
        return;
    }
    if (port <= 0 || port > 65535) {
        ctx.writeLog(QStringLiteral("Invalid port number"), true);
        sendQuit(scan);
        m_c.reportWait(true);
        return;
    }
    m_c.scanSession().resetForConnect();
    scan.socket().open(host, quint16(port), tlsPolicy(ctx));
    scan.startWatching(ctx.clock.now());
    ctx.writeLog(QStringLiteral("Connecting..."), true);
}

void Connections::connectDownload()
{
    const int port = loginPort();
    const QString host = m_c.ctx().settings.text(u"txtHost").trimmed();
    SessionConnection &download = m_pool.download();
    download.socket().open(host, quint16(port > 0 && port <= 65535 ? port : 0), tlsPolicy(m_c.ctx()));
    download.startWatching(m_c.ctx().clock.now());
}

void Connections::closeConnection(SessionConnection &c)
{
    c.socket().close();
    c.disarm();
    if (c.role() == ConnectionRole::Scan)
        showScanStatus();
    else
        showDownloadStatus();
}

void Connections::showScanStatus()
{
    Context &ctx = m_c.ctx();
    const QString text = socketStateText(m_pool.scan().socket().state());
    m_c.state().scanState = ScanState::GroupFailed;
    if (!text.isEmpty())
        ctx.display.setGroupText(text);
    ctx.display.setBarValue(ProgressBar::Groups, 0);
    ctx.display.setBarValue(ProgressBar::GroupHeaders, 0);
    ctx.display.setScanEnabled(true);
    m_c.pollDriver();
}

void Connections::showDownloadStatus()
{
    Context &ctx = m_c.ctx();
    const QString text = socketStateText(m_pool.download().socket().state());
    m_c.state().scanState = ScanState::GroupFailed;
    if (!text.isEmpty())
        ctx.writeLog(text, true);
    if (ctx.state.articleInHand) {
        m_c.pending().requeueArticle();
        ctx.state.articleInHand = false;
    }
}

void Connections::sendQuit(SessionConnection &c)
{
    Context &ctx = m_c.ctx();
    c.disarm();
    if (c.role() != ConnectionRole::Scan) {
        c.send("QUIT");
        ctx.display.setScanEnabled(true);
        return;
    }
    SessionState &s = m_c.state();
    s.scanQuitSent = true;
    c.send("QUIT");
    ctx.display.setBarValue(ProgressBar::Groups, 0);
    ctx.display.setBarValue(ProgressBar::GroupHeaders, 0);
    ctx.display.setGroupText(QString());
    ctx.display.setScanEnabled(ctx.state.downloadState == DownloadState::Idle);
    s.scanStopRequested = true;
    m_c.pollDriver();
}

// A scan connection is left alone while a download runs, a download connection while a
// scan runs: the emergency would end the other's work too.
bool Connections::mayReconnect(ConnectionRole role)
{
    const AppState &state = m_c.ctx().state;
    return role == ConnectionRole::Scan ? state.downloadState == DownloadState::Idle : !state.scanning;
}

void Connections::emergencyReconnect(SessionConnection &c)
{
    Context &ctx = m_c.ctx();
    if (!mayReconnect(c.role()))
        return;
    if (c.role() == ConnectionRole::Download)
        m_c.downloadSession().emergencyOnArticleInHand();
    closeConnection(c);

    // Whether or not a restart follows, nothing is running any more: a run left marked
    // busy would refuse every later start.
    SessionState &s = m_c.state();
    ctx.state.downloadState = DownloadState::Idle;
    s.downloadBusy = false;
    ctx.display.setDownloadLightBusy(false);
    ctx.writeLog(QStringLiteral("Done!"), false);
    ctx.state.scanning = false;
    ctx.display.setBarVisible(ProgressBar::Article, false);
    ctx.display.setBarValue(ProgressBar::Groups, 0);
    ctx.display.setBarValue(ProgressBar::GroupHeaders, 0);
    if (!ctx.settings.checked(u"chkAllowRestart")) {
        m_c.reportWait(true);
        return;
    }
    m_c.countdown().arm(90);
    ctx.writeLog(QStringLiteral("Emergency Reconnect in") + numText(90) + QStringLiteral(" seconds."), true);
}

void Connections::watchdogTick(SessionConnection &c)
{
    if (!c.watchdogArmed()) {
        c.watchdog().stop();
        return;
    }
    Context &ctx = m_c.ctx();
    const qint64 seconds = c.lastActivity().secsTo(ctx.clock.now());
    const int limit = ctx.settings.slider(u"sldTimeout");
    if (seconds <= limit)
        return;
    const QString which = c.roleName();
    ctx.writeLog(c.greeted() ? which + QStringLiteral(" connection silent for more than") + numText(limit) +
                               QStringLiteral(" seconds.")
                         : which + QStringLiteral(" connection: no answer from the news server within") +
                               numText(limit) + QStringLiteral(" seconds."),
                 true);
    emergencyReconnect(c);
}

void Connections::onSocketError(SessionConnection &c, const QString &description)
{
    c.watchdog().stop();
    m_c.ctx().writeLog(description, true);
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
    m_c.ctx().writeLog(QStringLiteral("The news server closed the connection."), true);
    if (c.role() == ConnectionRole::Scan && !mayReconnect(c.role())) {
        closeConnection(c);
        return;
    }
    emergencyReconnect(c);
}

} // namespace kestrel
