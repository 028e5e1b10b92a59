#include "circle/scan_driver.h"

#include "circle/rescan_countdown.h"

#include "base/context.h"
#include "base/number_text.h"
#include "circle/connections.h"
#include "circle/scan_display.h"
#include "circle/scan_driver_events.h"
#include "circle/scan_session.h"
#include "circle/session_state.h"
#include "scan/favourites.h"
#include "scan/header_filter.h"

#include <algorithm>

namespace kestrel {

ScanDriver::ScanDriver(Context &ctx, SessionState &state, Connections &connections, ScanSession &scan,
                       FavouritesModel &favourites, HeaderFilter &filter, FilterCounters &counters,
                       RescanCountdown &countdown, ScanDriverEvents &events)
    : m_ctx(ctx), m_state(state), m_connections(connections), m_scan(scan), m_favourites(favourites),
      m_filter(filter), m_counters(counters), m_countdown(countdown), m_events(events)
{
}

qint64 ScanDriver::scanSeconds() const
{
    return m_state.scanStart.secsTo(m_ctx.clock.now());
}

QString ScanDriver::rateText(qint64 extra) const
{
    const qint64 seconds = scanSeconds();
    const double rate = seconds > 0 ? double(m_counters.scanHeaderCount + extra) / double(seconds) : 0.0;
    return QString::number(rate * 60.0, 'f', 1);
}

QString ScanDriver::statistics(const QString &head, qint64 extra) const
{
    return head + numText(m_counters.scanHeaderCount) + QStringLiteral(" headers read in") +
           numText(scanSeconds()) + QStringLiteral(" seconds, averaging ") + rateText(extra) +
           QStringLiteral(" headers per minute.");
}

void ScanDriver::startScan()
{
    m_ctx.playSfx(QStringLiteral("scan.wav"));
    m_ctx.state.scanning = true;
    m_state.scanStopRequested = false;
    m_ctx.writeLog(QStringLiteral("Scan Initiated..."), true);
    m_state.scanStart = m_ctx.clock.now();
    m_counters.scanHeaderCount = 0;
    m_total = m_favourites.rowCount();
    m_ctx.display.setBarMaximum(ProgressBar::Groups, m_total);
    m_index = 0;
    m_running = true;
    m_waiting = m_lost = false;
    advance();
}

void ScanDriver::advance()
{
    while (m_index < m_total) {
        const int i = ++m_index;
        if (m_ctx.display.bar(ProgressBar::Groups).maximum >= i)
            m_ctx.display.setBarValue(ProgressBar::Groups, i);
        if (i > m_favourites.rowCount())
            break;
        const FavouriteRow &row = m_favourites.row(i - 1);
        if (row.ghosted)
            continue;
        const QByteArray group = row.name;
        const bool resume = !row.sub.at(FavLastRead).isBlank();
        m_scan.groupSelected(group, resume);
        m_filter.setCurrentGroup(group);
        m_favourites.saveFavsOrLog();
        // A row without a name has nothing to ask for.
        if (group.isEmpty())
            continue;
        // A connection that closed mid-scan answers no more groups.
        if (!m_connections.scan().socket().isConnected()) {
            cutShortEnd();
            return;
        }
        m_waiting = true;
        m_groupOver = false;
        m_scan.sendGroup();
        return;
    }
    normalEnd();
}

// A stop asked for at the same time (a refused login closes the connection too) wins:
// the scan then ends without a word, and whoever asked reports.
bool ScanDriver::cutShortPending() const
{
    return m_running && m_lost && !m_state.scanStopRequested;
}

bool ScanDriver::groupsLeft() const
{
    const int rows = std::min(m_total, m_favourites.rowCount());
    for (int i = m_index; i < rows; ++i) {
        const FavouriteRow &row = m_favourites.row(i);
        if (!row.ghosted && !row.name.isEmpty())
            return true;
    }
    return false;
}

void ScanDriver::groupFinished()
{
    m_groupOver = true;
    m_step.request();
}

void ScanDriver::connectionClosed(bool groupWasOver)
{
    if (!m_running)
        return;
    if (!groupWasOver || groupsLeft())
        m_lost = true;
    groupFinished();
}

void ScanDriver::stopRequested()
{
    m_step.request();
}

void ScanDriver::step()
{
    if (!m_running)
        return;
    if (m_state.scanStopRequested) {
        abortEnd();
        return;
    }
    if (m_lost) {
        cutShortEnd();
        return;
    }
    if (!m_waiting || !m_groupOver)
        return;
    m_waiting = false;
    advance();
}

void ScanDriver::normalEnd()
{
    abortEnd();
    if (m_counters.scanHeaderCount >= 1)
        m_ctx.writeLog(statistics(QStringLiteral("Scan Complete."), 1), true);
    else
        m_ctx.writeLog(QStringLiteral("Scan Complete. No new headers read in") + numText(scanSeconds()) +
                           QStringLiteral(" seconds."),
                       true);
    m_ctx.state.scanning = false;
    m_connections.sendQuit(m_connections.scan());
    if (m_ctx.settings.checked(u"chkAutodownload"))
        m_events.downloadWanted();
    else
        m_events.runStopped(false);
    m_ctx.display.setScanEnabled(true);
}

void ScanDriver::abortEnd()
{
    m_running = m_waiting = false;
    clearScanProgress(m_ctx.display);
    m_favourites.resetGroupIcons();
    m_favourites.saveFavsOrLog();
}

// The connection went (closed, silent, refused) before every group was read. The
// groups read so far keep their last-read numbers, the rest is read by the next scan;
// the circle is told, so that the run is not taken for a whole one.
void ScanDriver::cutShortEnd()
{
    abortEnd();
    m_lost = false;
    m_ctx.writeLog(statistics(QStringLiteral("Scan Cut Short (connection lost)."), 1), true);
    m_ctx.state.scanning = false;
    m_ctx.display.setScanEnabled(true);
    m_events.scanCutShort();
}

void ScanDriver::scanStoppedMaxPending()
{
    clearScanProgress(m_ctx.display);
    m_ctx.writeLog(statistics(QStringLiteral("Scan Stopped (max pending)."), 1), true);
    m_ctx.state.scanning = false;
    m_connections.sendQuit(m_connections.scan());
    step();
    m_ctx.display.setScanEnabled(true);
    if (m_ctx.settings.checked(u"chkAutodownload"))
        m_events.downloadWanted();
    else
        m_events.runStopped(false);
}

void ScanDriver::stopScan()
{
    m_connections.sendQuit(m_connections.scan());
    m_ctx.writeLog(QString(), false);
    if (m_ctx.state.scanning) {
        m_ctx.state.scanning = false;
        if (m_counters.scanHeaderCount > 1)
            m_ctx.writeLog(statistics(QStringLiteral("Scan Aborted by user."), 0), true);
    }
    m_ctx.state.rescanArmed = false;
    m_ctx.state.rescanCountdown = m_ctx.settings.slider(u"sldRescan");
    m_countdown.stop();
}

} // namespace kestrel
