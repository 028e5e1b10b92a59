#pragma once

#include "base/front_end.h"

namespace kestrel {

// The front end of a run without windows: no wait window, no main window. The
// placement and column widths read at start-up are written back unchanged, so a
// headless run leaves the settings file as a windowed one would.
class HeadlessFrontEnd final : public FrontEnd {
public:
    void showWait() override {}
    void setWaitMaximum(int) override {}
    void setWaitProgress(int) override {}
    void setWaitMessage(const QString &) override {}
    bool waitAbortRequested() const override { return false; }
    void createMainWindow() override {}
    void applyPlacement(const WindowPlacement &p) override;
    void createColumns(const std::array<int, 8> &widths) override { m_widths = widths; }
    void showMainWindow() override {}
    PlacementNow currentPlacement() const override { return m_placement; }
    std::array<int, 8> columnWidths() const override { return m_widths; }
    void hideMainWindow() override {}

private:
    PlacementNow m_placement;
    std::array<int, 8> m_widths{};
};

} // namespace kestrel
