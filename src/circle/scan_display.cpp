#include "circle/scan_display.h"

#include "base/main_display.h"

namespace kestrel {

void resetScanBars(MainDisplay &display)
{
    display.setBarValue(ProgressBar::Groups, 0);
    display.setBarValue(ProgressBar::GroupHeaders, 0);
}

void clearScanProgress(MainDisplay &display)
{
    resetScanBars(display);
    display.setGroupText(QString());
}

void showScanIdle(MainDisplay &display)
{
    clearScanProgress(display);
    display.setScanEnabled(true);
}

} // namespace kestrel
