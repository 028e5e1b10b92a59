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
    m_timerbot1.setInterval(1000);
    m_timerbot2.setInterval(1000);
    connect(&m_timerbot1, &QTimer::timeout, this, [this] { watchdogTick(1); });
    connect(&m_timerbot2, &QTimer::timeout, this, [this] { watchdogTick(2); });
    for (NntpConnection *c : {&m_tcp1, &m_tcp2}) {
        const int n = c->number();
        connect(c, &NntpConnection::socketError, this, [this, n](const QString &d) { onSocketError(n, d); });
        connect(c, &NntpConnection::peerClosed, this, [this, n] { onPeerClosed(n); });
    }
}

bool Connections::SendScan(const QByteArray &line, ReplyReader::Delivery delivery)
{
    return m_tcp1.sendLine(line, delivery);
}

bool Connections::SendDownload(const QByteArray &line)
{
    return m_tcp2.sendLine(line);
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
        s.ScanLastActivity = now;
        s.ScanWatchdogArmed = true;
        m_timerbot1.start();
    } else {
        s.DownloadLastActivity = now;
        s.DownloadWatchdogArmed = true;
        m_timerbot2.start();
    }
}

void Connections::ConnectScan()
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
    s.UseXover = ctx.settings.checked(u"chkXOVER");
    m_c.driver().forget();
    if (!m_tcp1.isClosed()) {
        ctx.WriteLog(QStringLiteral("Connection Error, please wait..."), true);
        CloseConnection(1);
    }
    s.ScanQuitSent = false;
    ctx.state.RescanArmed = false;
    Q_EMIT m_c.loginWindowHideWanted();
    ctx.display.setGroupText(QString());
    ctx.display.setScanEnabled(false);
    if (!m_tcp1.isClosed()) {
        ctx.WriteLog(QStringLiteral("Connection Error..."), true);
        return;
    }
    if (port <= 0 || port > 65535) {
        ctx.WriteLog(QStringLiteral("Invalid port number"), true);
        SendQuit(1);
        m_c.reportWait(true);
        return;
    }
    m_c.scanSession().resetForConnect();
    s.ScanGreeted = false;
    m_tcp1.open(host, quint16(port), tlsPolicy(ctx));
    armWatchdog(1);
    ctx.WriteLog(QStringLiteral("Connecting..."), true);
}

void Connections::ConnectDownload()
{
    const int port = loginPort();
    const QString host = m_c.ctx().settings.text(u"txtHost").trimmed();
    m_c.state().DownloadGreeted = false;
    m_tcp2.open(host, quint16(port > 0 && port <= 65535 ? port : 0), tlsPolicy(m_c.ctx()));
    armWatchdog(2);
}

void Connections::CloseConnection(int n)
{
    if (n != 1 && n != 2)
        return;
    SessionState &s = m_c.state();
    if (n == 1) {
        s.ScanWatchdogArmed = false;
        m_tcp1.close();
        m_timerbot1.stop();
        ShowScanStatus();
    } else {
        s.DownloadWatchdogArmed = false;
        m_tcp2.close();
        m_timerbot2.stop();
        ShowDownloadStatus();
    }
}

void Connections::ShowScanStatus()
{
    Context &ctx = m_c.ctx();
    const QString text = socketStateText(m_tcp1.state());
    m_c.state().ScanState = -1;
    if (!text.isEmpty())
        ctx.display.setGroupText(text);
    ctx.display.setBarValue(1, 0);
    ctx.display.setBarValue(2, 0);
    ctx.display.setScanEnabled(true);
    m_c.pollDriver();
}

void Connections::ShowDownloadStatus()
{
    Context &ctx = m_c.ctx();
    const QString text = socketStateText(m_tcp2.state());
    m_c.state().ScanState = -1;
    if (!text.isEmpty())
        ctx.WriteLog(text, true);
    if (ctx.state.ArticleInHand) {
        m_c.pending().RequeueArticle();
        ctx.state.ArticleInHand = false;
    }
}

void Connections::SendQuit(int n)
{
    Context &ctx = m_c.ctx();
    SessionState &s = m_c.state();
    if (n == 1) {
        s.ScanWatchdogArmed = false;
        s.ScanQuitSent = true;
        SendScan("QUIT");
        ctx.display.setBarValue(1, 0);
        ctx.display.setBarValue(2, 0);
        ctx.display.setGroupText(QString());
        ctx.display.setScanEnabled(ctx.state.DownloadState == 0);
        s.ScanStopRequested = true;
        m_timerbot1.stop();
        m_c.pollDriver();
    } else if (n == 2) {
        s.DownloadWatchdogArmed = false;
        SendDownload("QUIT");
        m_timerbot2.stop();
        ctx.display.setScanEnabled(true);
    }
}

void Connections::EmergencyReconnect(int n)
{
    Context &ctx = m_c.ctx();
    if (n != 1 && n != 2)
        return;
    if (n == 1 && ctx.state.DownloadState != 0)
        return;
    if (n == 2 && ctx.state.Scanning)
        return;
    if (n == 2)
        m_c.downloadSession().emergencyOnArticleInHand();
    CloseConnection(n);

    // Whether or not a restart follows, nothing is running any more: a run left marked
    // busy would refuse every later start.
    SessionState &s = m_c.state();
    ctx.state.DownloadState = 0;
    s.DownloadBusy = 0;
    ctx.display.setDownloadLightBusy(false);
    ctx.WriteLog(QStringLiteral("Done!"), false);
    ctx.state.Scanning = false;
    ctx.display.setBarVisible(3, false);
    ctx.display.setBarValue(1, 0);
    ctx.display.setBarValue(2, 0);
    if (!ctx.settings.checked(u"chkAllowRestart")) {
        m_c.reportWait(true);
        return;
    }
    m_c.countdown().arm(90);
    ctx.WriteLog(QStringLiteral("Emergency Reconnect in") + numText(90) + QStringLiteral(" seconds."), true);
}

void Connections::watchdogTick(int n)
{
    SessionState &s = m_c.state();
    const bool armed = n == 1 ? s.ScanWatchdogArmed : s.DownloadWatchdogArmed;
    QTimer &timer = n == 1 ? m_timerbot1 : m_timerbot2;
    if (!armed) {
        timer.stop();
        return;
    }
    Context &ctx = m_c.ctx();
    const QDateTime last = n == 1 ? s.ScanLastActivity : s.DownloadLastActivity;
    const qint64 seconds = last.secsTo(ctx.clock.now());
    const int limit = ctx.settings.slider(u"sldTimeout");
    if (seconds <= limit)
        return;
    const bool greeted = n == 1 ? s.ScanGreeted : s.DownloadGreeted;
    const QString which = n == 1 ? QStringLiteral("Scan") : QStringLiteral("Download");
    ctx.WriteLog(greeted ? which + QStringLiteral(" connection silent for more than") + numText(limit) +
                               QStringLiteral(" seconds.")
                         : which + QStringLiteral(" connection: no answer from the news server within") +
                               numText(limit) + QStringLiteral(" seconds."),
                 true);
    EmergencyReconnect(n);
}

void Connections::onSocketError(int n, const QString &description)
{
    if (n == 1)
        m_timerbot1.stop();
    else
        m_timerbot2.stop();
    m_c.ctx().WriteLog(description, true);
    EmergencyReconnect(n);
}

void Connections::onPeerClosed(int n)
{
    NntpConnection &c = connection(n);
    if (n == 1)
        m_timerbot1.stop();
    else
        m_timerbot2.stop();
    if (c.quitSent()) {
        CloseConnection(n);
        return;
    }
    // Closed without a goodbye: whatever was under way will not be answered.
    m_c.ctx().WriteLog(QStringLiteral("The news server closed the connection."), true);
    if (n == 1 && m_c.ctx().state.DownloadState != 0) {
        CloseConnection(1);
        return;
    }
    EmergencyReconnect(n);
}

} // namespace kestrel
