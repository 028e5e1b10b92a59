#pragma once

#include <QDateTime>

namespace kestrel {

// Where the scan of the current group stands. The numbers are the ones the scan has
// always logged and compared; the group is over once the state is GroupDone or below.
enum class ScanState : qint32 {
    GroupFailed = -1,   // the group failed, or a connection closed
    GroupDone = 0,      // the group is read (or nothing was asked)
    ReadingHeaders = 8, // GROUP answered, headers being read
    GroupSent = 9,      // GROUP sent, its answer awaited
    XoverRange = 12,    // an XOVER range awaited or arriving
};

// Flags and times the connections, the sessions and the scan driver share; each
// connection keeps its own watchdog state.
struct SessionState {
    bool scanStopRequested = false; // the scan driver ends the scan at its next step
    bool scanQuitSent = false;
    bool useXover = false; // fixed per scan connection
    ScanState scanState = ScanState::GroupDone;
    bool downloadBusy = false; // a download run is active
    QDateTime scanStart;
};

} // namespace kestrel
