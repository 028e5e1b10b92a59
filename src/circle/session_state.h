#pragma once

#include <QDateTime>

namespace kestrel {

// Flags and times the connections, the sessions and the scan driver share.
struct SessionState {
    QDateTime scanLastActivity;     // last data on the scan connection
    QDateTime downloadLastActivity; // last data on the download connection
    // One flag per connection: a quit on one connection must not leave the other
    // without its watchdog.
    bool scanWatchdogArmed = false;
    bool downloadWatchdogArmed = false;
    // The server greeted; until then a watchdog expiry means no answer at all.
    bool scanGreeted = false;
    bool downloadGreeted = false;
    bool scanStopRequested = false; // the scan driver ends the scan at its next step
    bool scanQuitSent = false;
    bool useXover = false; // fixed per scan connection
    // 9 GROUP sent, 8 headers being read, 12 XOVER awaited or arriving, 0 group done,
    // -1 group failed or the connection closed.
    qint32 scanState = 0;
    qint32 downloadBusy = 0; // 1 while a download run is active
    QDateTime scanStart;
};

} // namespace kestrel
