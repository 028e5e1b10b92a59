#pragma once

#include <QtGlobal>

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

} // namespace kestrel
