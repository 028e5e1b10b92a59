#pragma once

namespace kestrel {

class MainDisplay;

// The scan's share of the main window: the groups bar, the group's headers bar and the
// group label. Every way a scan or a run can end resets them with one of these.

// Both bars back to 0.
void resetScanBars(MainDisplay &display);
// The bars and the group label.
void clearScanProgress(MainDisplay &display);
// The bars, the group label, and the scan button enabled again.
void showScanIdle(MainDisplay &display);

} // namespace kestrel
