#pragma once

#include "circle/deferred_call.h"

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
// It never waits inside a handler: after each GROUP it returns, and the next step is
// taken from the event loop once the group is reported finished.
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
    // The current group is over (read, failed, or its connection closed).
    void groupFinished();
    // The scan connection closed. groupWasOver: the group under way had already ended,
    // so nothing of it is lost.
    void connectionClosed(bool groupWasOver);
    // A stop was asked for (QUIT on the scan connection).
    void stopRequested();
    // The stop-scan button.
    void stopScan();
    // A new scan connection is being opened: a scan of the old one is over without a
    // word; the new greeting starts the next.
    void forget() { m_running = m_waiting = m_lost = false; }

    bool running() const { return m_running; }
    // The connection went mid-scan and the scan is about to end cut short; the driver
    // reports that end itself.
    bool cutShortPending() const;
    // Whole seconds since the scan started.
    qint64 scanSeconds() const;
    // Headers per minute as "0.0": (count + extra) / seconds * 60, 0 within a second.
    QString rateText(qint64 extra) const;

private:
    // Ends the scan when a stop was asked for, else asks for the next group once the
    // current one is over.
    void step();
    void advance();
    // A row after the current one still asks for a GROUP.
    bool groupsLeft() const;
    void normalEnd();
    void abortEnd();
    void cutShortEnd();
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
    bool m_running = false;   // between startScan and an end
    bool m_waiting = false;   // a GROUP is out
    bool m_groupOver = false; // the group of the GROUP out was reported finished
    bool m_lost = false;      // the connection closed before the scan was done
    int m_index = 0;          // rows done so far
    int m_total = 0;          // rows counted at the start
    DeferredCall m_step{[this] { step(); }};
};

} // namespace kestrel
