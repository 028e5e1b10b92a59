#pragma once

#include "base/settings_file.h"

#include <QString>
#include <array>

namespace kestrel {

// The main window's normal-state geometry in twips, and its state.
struct PlacementNow {
    int windowState = 0; // 0 normal, 1 minimised, 2 maximised
    double top = 0, left = 0, width = 0, height = 0;
};

// What the start-up and shutdown sequences need from whoever shows the program: the
// windowed front end, the headless one, or a test.
class FrontEnd {
public:
    virtual ~FrontEnd() = default;

    // The wait window shown while start-up loads everything.
    virtual void showWait() = 0;
    virtual void setWaitMaximum(int maximum) = 0;
    virtual void setWaitProgress(int value) = 0;
    virtual void setWaitMessage(const QString &text) = 0;
    virtual bool waitAbortRequested() const = 0;

    // Creates the main window; its creation plays the start-up sound.
    virtual void createMainWindow() = 0;
    virtual void applyPlacement(const WindowPlacement &placement) = 0;
    virtual void createColumns(const std::array<int, 8> &widths) = 0;
    // Shows the main window, then hides and destroys the wait window.
    virtual void showMainWindow() = 0;

    virtual PlacementNow currentPlacement() const = 0;
    virtual std::array<int, 8> columnWidths() const = 0;
    virtual void hideMainWindow() = 0;
};

} // namespace kestrel
