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
    m_scanWatchdog.setInterval(1000);
    m_downloadWatchdog.setInterval(1000);
    connect(&m_scanWatchdog, &QTimer::timeout, this, [this] { watchdogTick(1); });
    connect(&m_downloadWatchdog, &QTimer::timeout, this, [this] { watchdogTick(2); });
    for (NntpConnection *c : {&m_scanConnection, &m_downloadConnection}) {
        const int n = c->role() == ConnectionRole::Scan ? 1 : 2;
        connect(c, &NntpConnection::socketError, this, [this, n](const QString &d) { onSocketError(n, d); });
        connect(c, &NntpConnection::peerClosed, this, [this, n] { onPeerClosed(n); });
    }
}

bool Connections::sendScan(const QByteArray &line, ReplyReader::Delivery delivery)
{
    return m_scanConnection.sendLine(line, delivery);
}

bool Connections::sendDownload(const QByteArray &line)
{
    return m_downloadConnection.sendLine(line);
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

void Connections::armWatchdog(int n)
{
    SessionState &s = m_c.state();
    const QDateTime now = m_c.ctx().clock.now();
    if (n == 1) {
        s.scanLastActivity = now;
        s.scanWatchdogArmed = true;
        m_scanWatchdog.start();
    } else {
        s.downloadLastActivity = now;
        s.downloadWatchdogArmed = true;
        m_downloadWatchdog.start();
    }
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
    if (!m_scanConnection.isClosed()) {
        ctx.writeLog(QStringLiteral("Connection Error, please wait..."), true);
        closeConnection(1);
    }
    s.scanQuitSent = false;
    ctx.state.rescanArmed = false;
    Q_EMIT m_c.loginWindowHideWanted();
    ctx.display.setGroupText(QString());
    ctx.display.setScanEnabled(false);
    if (!m_scanConnection.isClosed()) {
        ctx.writeLog(QStringLiteral("Connection Error..."), true);
        return;
    }
    if (port <= 0 || port > 65535) {
        ctx.writeLog(QStringLiteral("Invalid port number"), true);
        sendQuit(1);
        m_c.reportWait(true);
        return;
    }
    m_c.scanSession().resetForConnect();
    s.scanGreeted = false;
    m_scanConnection.open(host, quint16(port), tlsPolicy(ctx));
    armWatchdog(1);
    ctx.writeLog(QStringLiteral("Connecting..."), true);
}

void Connections::connectDownload()
{
    const int port = loginPort();
    const QString host = m_c.ctx().settings.text(u"txtHost").trimmed();
    m_c.state().downloadGreeted = false;
    m_downloadConnection.open(host, quint16(port > 0 && port <= 65535 ? port : 0), tlsPolicy(m_c.ctx()));
    armWatchdog(2);
}

void Connections::closeConnection(int n)
{
    if (n != 1 && n != 2)
        return;
    SessionState &s = m_c.state();
    if (n == 1) {
        s.scanWatchdogArmed = false;
        m_scanConnection.close();
        m_scanWatchdog.stop();
        showScanStatus();
    } else {
        s.downloadWatchdogArmed = false;
        m_downloadConnection.close();
        m_downloadWatchdog.stop();
        showDownloadStatus();
    }
}

void Connections::showScanStatus()
{
    Context &ctx = m_c.ctx();
    const QString text = socketStateText(m_scanConnection.state());
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
    const QString text = socketStateText(m_downloadConnection.state());
    m_c.state().scanState = ScanState::GroupFailed;
    if (!text.isEmpty())
        ctx.writeLog(text, true);
    if (ctx.state.articleInHand) {
        m_c.pending().requeueArticle();
        ctx.state.articleInHand = false;
    }
}

void Connections::sendQuit(int n)
{
    Context &ctx = m_c.ctx();
    SessionState &s = m_c.state();
    if (n == 1) {
        s.scanWatchdogArmed = false;
        s.scanQuitSent = true;
        sendScan("QUIT");
        ctx.display.setBarValue(ProgressBar::Groups, 0);
        ctx.display.setBarValue(ProgressBar::GroupHeaders, 0);
        ctx.display.setGroupText(QString());
        ctx.display.setScanEnabled(ctx.state.downloadState == DownloadState::Idle);
        s.scanStopRequested = true;
        m_scanWatchdog.stop();
        m_c.pollDriver();
    } else if (n == 2) {
        s.downloadWatchdogArmed = false;
        sendDownload("QUIT");
        m_downloadWatchdog.stop();
        ctx.display.setScanEnabled(true);
    }
}

void Connections::emergencyReconnect(int n)
{
    Context &ctx = m_c.ctx();
    if (n != 1 && n != 2)
        return;
    if (n == 1 && ctx.state.downloadState != DownloadState::Idle)
        return;
    if (n == 2 && ctx.state.scanning)
        return;
    if (n == 2)
        m_c.downloadSession().emergencyOnArticleInHand();
    closeConnection(n);

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

void Connections::watchdogTick(int n)
{
    SessionState &s = m_c.state();
    const bool armed = n == 1 ? s.scanWatchdogArmed : s.downloadWatchdogArmed;
    QTimer &timer = n == 1 ? m_scanWatchdog : m_downloadWatchdog;
    if (!armed) {
        timer.stop();
        return;
    }
    Context &ctx = m_c.ctx();
    const QDateTime last = n == 1 ? s.scanLastActivity : s.downloadLastActivity;
    const qint64 seconds = last.secsTo(ctx.clock.now());
    const int limit = ctx.settings.slider(u"sldTimeout");
    if (seconds <= limit)
        return;
    const bool greeted = n == 1 ? s.scanGreeted : s.downloadGreeted;
    const QString which = n == 1 ? QStringLiteral("Scan") : QStringLiteral("Download");
    ctx.writeLog(greeted ? which + QStringLiteral(" connection silent for more than") + numText(limit) +
                               QStringLiteral(" seconds.")
                         : which + QStringLiteral(" connection: no answer from the news server within") +
                               numText(limit) + QStringLiteral(" seconds."),
                 true);
    emergencyReconnect(n);
}

void Connections::onSocketError(int n, const QString &description)
{
    if (n == 1)
        m_scanWatchdog.stop();
    else
        m_downloadWatchdog.stop();
    m_c.ctx().writeLog(description, true);
    emergencyReconnect(n);
}

void Connections::onPeerClosed(int n)
{
    NntpConnection &c = connection(n);
    if (n == 1)
        m_scanWatchdog.stop();
    else
        m_downloadWatchdog.stop();
    if (c.quitSent()) {
        closeConnection(n);
        return;
    }
    // Closed without a goodbye: whatever was under way will not be answered.
    m_c.ctx().writeLog(QStringLiteral("The news server closed the connection."), true);
    if (n == 1 && m_c.ctx().state.downloadState != DownloadState::Idle) {
        closeConnection(1);
        return;
    }
    emergencyReconnect(n);
}

} // namespace kestrel
