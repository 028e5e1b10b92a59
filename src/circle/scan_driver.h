#pragma once

#include <QString>

namespace kestrel {

class Connections;
class Context;
class FavouritesModel;
class FilterCounters;
class HeaderFilter;
class RescanCountdown;
class ScanDriverEvents;
class ScanSession;
struct SessionState;

// Walks the favourite groups over the open scan connection, one GROUP at a time,
// and ends the scan with its statistics, QUIT and (when chosen) the download run.
// It never waits inside a handler: after each GROUP it returns, and poll() takes
// the next step once the scan session has finished the group.
class ScanDriver {
public:
    ScanDriver(Context &ctx, SessionState &state, Connections &connections, ScanSession &scan,
               FavouritesModel &favourites, HeaderFilter &filter, FilterCounters &counters,
               RescanCountdown &countdown, ScanDriverEvents &events);

    // The scan connection is ready (greeting, login or slave answer). A scan already
    // running starts again from the first group.
    void startScan();
    // The pending list is full.
    void scanStoppedMaxPending();
    // Takes the next step when the current group is done or a stop was asked for.
    void poll();
    // The stop-scan button.
    void stopScan();
    // A new scan connection is being opened: a scan of the old one is over without a
    // word; the new greeting starts the next.
    void forget() { m_running = m_waiting = false; }

    bool running() const { return m_running; }
    // Whole seconds since the scan started.
    qint64 scanSeconds() const;
    // Headers per minute as "0.0": (count + extra) / seconds * 60, 0 within a second.
    QString rateText(qint64 extra) const;

private:
    void advance();
    void normalEnd();
    void abortEnd();
    void connectionLostEnd();
    QString statistics(const QString &head, qint64 extra) const;

    Context &m_ctx;
    SessionState &m_state;
    Connections &m_connections;
    ScanSession &m_scan;
    FavouritesModel &m_favourites;
    HeaderFilter &m_filter;
    FilterCounters &m_counters;
    RescanCountdown &m_countdown;
    ScanDriverEvents &m_events;
    bool m_running = false; // between startScan and an end
    bool m_waiting = false; // a GROUP is out; poll() looks at ScanState
    int m_index = 0;        // rows done so far
    int m_total = 0;        // rows counted at the start
};

} // namespace kestrel
