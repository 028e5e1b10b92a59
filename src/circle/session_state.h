#pragma once

#include <QDateTime>

namespace kestrel {

// Flags and times the connections, the sessions and the scan driver share; each
// connection keeps its own watchdog state.
struct SessionState {
    bool scanStopRequested = false; // the scan driver ends the scan at its next step
    bool scanQuitSent = false;
    bool useXover = false;     // chosen per scan connection; off once its server refuses XOVER
    bool downloadBusy = false; // a download run is active
    QDateTime scanStart;
};

} // namespace kestrel
