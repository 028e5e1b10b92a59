#pragma once

#include <QDateTime>

namespace kestrel {

// Flags and times the connections, the sessions and the scan driver share.
struct SessionState {
    QDateTime ScanLastActivity;     // last data on the scan connection
    QDateTime DownloadLastActivity; // last data on the download connection
    // One flag per connection: a quit on one connection must not leave the other
    // without its watchdog.
    bool ScanWatchdogArmed = false;
    bool DownloadWatchdogArmed = false;
    // The server greeted; until then a watchdog expiry means no answer at all.
    bool ScanGreeted = false;
    bool DownloadGreeted = false;
    bool ScanStopRequested = false; // the scan driver ends the scan at its next step
    bool ScanQuitSent = false;
    bool UseXover = false; // fixed per scan connection
    // 9 GROUP sent, 8 headers being read, 12 XOVER awaited or arriving, 0 group done,
    // -1 group failed or the connection closed.
    qint32 ScanState = 0;
    qint32 DownloadBusy = 0; // 1 while a download run is active
    QDateTime ScanStart;
};

} // namespace kestrel
