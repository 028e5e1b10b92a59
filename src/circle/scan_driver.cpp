#include "circle/scan_driver.h"

#include "circle/rescan_countdown.h"

#include "base/context.h"
#include "base/number_text.h"
#include "circle/circle.h"
#include "circle/connections.h"
#include "circle/download_session.h"
#include "circle/scan_session.h"
#include "scan/favourites.h"
#include "scan/header_filter.h"

namespace kestrel {

ScanDriver::ScanDriver(Circle &circle) : m_c(circle) {}

qint64 ScanDriver::scanSeconds() const
{
    return m_c.state().ScanStart.secsTo(m_c.ctx().clock.now());
}

QString ScanDriver::rateText(qint64 extra) const
{
    const qint64 seconds = scanSeconds();
    const double rate = seconds > 0 ? double(m_c.counters().ScanHeaderCount + extra) / double(seconds) : 0.0;
    return QString::number(rate * 60.0, 'f', 1);
}

QString ScanDriver::statistics(const QString &head, qint64 extra) const
{
    return head + numText(m_c.counters().ScanHeaderCount) + QStringLiteral(" headers read in") +
           numText(scanSeconds()) + QStringLiteral(" seconds, averaging ") + rateText(extra) +
           QStringLiteral(" headers per minute.");
}

void ScanDriver::StartScan()
{
    Context &ctx = m_c.ctx();
    SessionState &s = m_c.state();
    ctx.PlaySfx(QStringLiteral("scan.wav"));
    ctx.state.Scanning = true;
    s.ScanStopRequested = false;
    ctx.WriteLog(QStringLiteral("Scan Initiated..."), true);
    s.ScanStart = ctx.clock.now();
    m_c.counters().ScanHeaderCount = 0;
    m_total = m_c.favourites().rowCount();
    ctx.display.setBarMaximum(1, m_total);
    m_index = 0;
    m_running = true;
    m_waiting = false;
    advance();
}

void ScanDriver::advance()
{
    Context &ctx = m_c.ctx();
    SessionState &s = m_c.state();
    FavouritesModel &favs = m_c.favourites();
    while (m_index < m_total) {
        const int i = ++m_index;
        if (ctx.display.bar(1).maximum >= i)
            ctx.display.setBarValue(1, i);
        if (i > favs.rowCount())
            break;
        const FavouriteRow &row = favs.row(i - 1);
        if (row.ghosted)
            continue;
        const QByteArray group = row.name;
        const bool resume = !row.sub[FavLastRead].isEmpty();
        m_c.scanSession().groupSelected(group, resume);
        m_c.filter().setCurrentGroup(group);
        favs.SaveFavs();
        // A row without a name has nothing to ask for.
        if (group.isEmpty())
            continue;
        // A connection that closed mid-scan answers no more groups.
        if (!m_c.connections().TCP1().isConnected()) {
            connectionLostEnd();
            return;
        }
        s.ScanState = 9;
        m_waiting = true;
        m_c.connections().SendScan("GROUP " + group);
        return;
    }
    normalEnd();
}

void ScanDriver::poll()
{
    if (!m_running)
        return;
    SessionState &s = m_c.state();
    if (s.ScanStopRequested) {
        abortEnd();
        return;
    }
    if (!m_waiting || s.ScanState > 0)
        return;
    m_waiting = false;
    advance();
}

void ScanDriver::normalEnd()
{
    Context &ctx = m_c.ctx();
    abortEnd();
    if (m_c.counters().ScanHeaderCount >= 1)
        ctx.WriteLog(statistics(QStringLiteral("Scan Complete."), 1), true);
    else
        ctx.WriteLog(QStringLiteral("Scan Complete. No new headers read in") + numText(scanSeconds()) +
                         QStringLiteral(" seconds."),
                     true);
    ctx.state.Scanning = false;
    m_c.connections().SendQuit(1);
    if (ctx.settings.checked(u"chkAutodownload"))
        m_c.downloadSession().DownloadNext();
    else
        m_c.reportWait(false);
    ctx.display.setScanEnabled(true);
}

void ScanDriver::abortEnd()
{
    Context &ctx = m_c.ctx();
    m_running = m_waiting = false;
    ctx.display.setBarValue(1, 0);
    ctx.display.setBarValue(2, 0);
    ctx.display.setGroupText(QString());
    m_c.favourites().ResetGroupIcons();
    m_c.favourites().SaveFavs();
}

void ScanDriver::connectionLostEnd()
{
    Context &ctx = m_c.ctx();
    abortEnd();
    if (ctx.state.Scanning) {
        ctx.state.Scanning = false;
        ctx.WriteLog(QStringLiteral("Scan ended: the scan connection is closed."), true);
    }
    ctx.display.setScanEnabled(true);
    if (!ctx.state.RescanArmed)
        m_c.reportWait(true);
}

void ScanDriver::ScanStoppedMaxPending()
{
    Context &ctx = m_c.ctx();
    ctx.display.setBarValue(1, 0);
    ctx.display.setBarValue(2, 0);
    ctx.display.setGroupText(QString());
    ctx.WriteLog(statistics(QStringLiteral("Scan Stopped (max pending)."), 1), true);
    m_c.state().ScanState = 0;
    ctx.state.Scanning = false;
    m_c.connections().SendQuit(1);
    poll();
    ctx.display.setScanEnabled(true);
    if (ctx.settings.checked(u"chkAutodownload"))
        m_c.downloadSession().DownloadNext();
    else
        m_c.reportWait(false);
}

void ScanDriver::Command1()
{
    Context &ctx = m_c.ctx();
    m_c.connections().SendQuit(1);
    ctx.WriteLog(QString(), false);
    if (ctx.state.Scanning) {
        ctx.state.Scanning = false;
        if (m_c.counters().ScanHeaderCount > 1)
            ctx.WriteLog(statistics(QStringLiteral("Scan Aborted by user."), 0), true);
    }
    ctx.state.RescanArmed = false;
    ctx.state.RescanCountdown = ctx.settings.slider(u"sldRescan");
    m_c.countdown().stop();
}

} // namespace kestrel
