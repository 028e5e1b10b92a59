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
    return m_c.state().scanStart.secsTo(m_c.ctx().clock.now());
}

QString ScanDriver::rateText(qint64 extra) const
{
    const qint64 seconds = scanSeconds();
    const double rate = seconds > 0 ? double(m_c.counters().scanHeaderCount + extra) / double(seconds) : 0.0;
    return QString::number(rate * 60.0, 'f', 1);
}

QString ScanDriver::statistics(const QString &head, qint64 extra) const
{
    return head + numText(m_c.counters().scanHeaderCount) + QStringLiteral(" headers read in") +
           numText(scanSeconds()) + QStringLiteral(" seconds, averaging ") + rateText(extra) +
           QStringLiteral(" headers per minute.");
}

void ScanDriver::startScan()
{
    Context &ctx = m_c.ctx();
    SessionState &s = m_c.state();
    ctx.playSfx(QStringLiteral("scan.wav"));
    ctx.state.scanning = true;
    s.scanStopRequested = false;
    ctx.writeLog(QStringLiteral("Scan Initiated..."), true);
    s.scanStart = ctx.clock.now();
    m_c.counters().scanHeaderCount = 0;
    m_total = m_c.favourites().rowCount();
    ctx.display.setBarMaximum(ProgressBar::Groups, m_total);
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
        if (ctx.display.bar(ProgressBar::Groups).maximum >= i)
            ctx.display.setBarValue(ProgressBar::Groups, i);
        if (i > favs.rowCount())
            break;
        const FavouriteRow &row = favs.row(i - 1);
        if (row.ghosted)
            continue;
        const QByteArray group = row.name;
        const bool resume = !row.sub[FavLastRead].isEmpty();
        m_c.scanSession().groupSelected(group, resume);
        m_c.filter().setCurrentGroup(group);
        favs.saveFavs();
        // A row without a name has nothing to ask for.
        if (group.isEmpty())
            continue;
        // A connection that closed mid-scan answers no more groups.
        if (!m_c.connections().scan().socket().isConnected()) {
            connectionLostEnd();
            return;
        }
        s.scanState = ScanState::GroupSent;
        m_waiting = true;
        m_c.connections().scan().send("GROUP " + group);
        return;
    }
    normalEnd();
}

void ScanDriver::poll()
{
    if (!m_running)
        return;
    SessionState &s = m_c.state();
    if (s.scanStopRequested) {
        abortEnd();
        return;
    }
    if (!m_waiting || s.scanState > ScanState::GroupDone)
        return;
    m_waiting = false;
    advance();
}

void ScanDriver::normalEnd()
{
    Context &ctx = m_c.ctx();
    abortEnd();
    if (m_c.counters().scanHeaderCount >= 1)
        ctx.writeLog(statistics(QStringLiteral("Scan Complete."), 1), true);
    else
        ctx.writeLog(QStringLiteral("Scan Complete. No new headers read in") + numText(scanSeconds()) +
                         QStringLiteral(" seconds."),
                     true);
    ctx.state.scanning = false;
    m_c.connections().sendQuit(m_c.connections().scan());
    if (ctx.settings.checked(u"chkAutodownload"))
        m_c.downloadSession().downloadNext();
    else
        m_c.reportWait(false);
    ctx.display.setScanEnabled(true);
}

void ScanDriver::abortEnd()
{
    Context &ctx = m_c.ctx();
    m_running = m_waiting = false;
    ctx.display.setBarValue(ProgressBar::Groups, 0);
    ctx.display.setBarValue(ProgressBar::GroupHeaders, 0);
    ctx.display.setGroupText(QString());
    m_c.favourites().resetGroupIcons();
    m_c.favourites().saveFavs();
}

void ScanDriver::connectionLostEnd()
{
    Context &ctx = m_c.ctx();
    abortEnd();
    if (ctx.state.scanning) {
        ctx.state.scanning = false;
        ctx.writeLog(QStringLiteral("Scan ended: the scan connection is closed."), true);
    }
    ctx.display.setScanEnabled(true);
    if (!ctx.state.rescanArmed)
        m_c.reportWait(true);
}

void ScanDriver::scanStoppedMaxPending()
{
    Context &ctx = m_c.ctx();
    ctx.display.setBarValue(ProgressBar::Groups, 0);
    ctx.display.setBarValue(ProgressBar::GroupHeaders, 0);
    ctx.display.setGroupText(QString());
    ctx.writeLog(statistics(QStringLiteral("Scan Stopped (max pending)."), 1), true);
    m_c.state().scanState = ScanState::GroupDone;
    ctx.state.scanning = false;
    m_c.connections().sendQuit(m_c.connections().scan());
    poll();
    ctx.display.setScanEnabled(true);
    if (ctx.settings.checked(u"chkAutodownload"))
        m_c.downloadSession().downloadNext();
    else
        m_c.reportWait(false);
}

void ScanDriver::stopScan()
{
    Context &ctx = m_c.ctx();
    m_c.connections().sendQuit(m_c.connections().scan());
    ctx.writeLog(QString(), false);
    if (ctx.state.scanning) {
        ctx.state.scanning = false;
        if (m_c.counters().scanHeaderCount > 1)
            ctx.writeLog(statistics(QStringLiteral("Scan Aborted by user."), 0), true);
    }
    ctx.state.rescanArmed = false;
    ctx.state.rescanCountdown = ctx.settings.slider(u"sldRescan");
    m_c.countdown().stop();
}

} // namespace kestrel
