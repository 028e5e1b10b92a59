#pragma once

#include "base/front_end.h"

#include <memory>

namespace kestrel {

class Context;
class MainWindow;
class WaitWindow;

// The windowed front end of the start-up and shutdown sequences: the wait window while
// start-up loads, then the main window.
class WidgetFrontEnd : public FrontEnd {
public:
    explicit WidgetFrontEnd(Context &ctx);
    ~WidgetFrontEnd() override;

    void showWait() override;
    void setWaitMaximum(int maximum) override;
    void setWaitProgress(int value) override;
    void setWaitMessage(const QString &text) override;
    // Lets the windows take their input first, so that Esc in the wait window counts.
    bool waitAbortRequested() const override;

    void createMainWindow() override;
    void applyPlacement(const WindowPlacement &placement) override;
    void createColumns(const std::array<int, 8> &widths) override;
    void showMainWindow() override;

    PlacementNow currentPlacement() const override;
    std::array<int, 8> columnWidths() const override;
    void hideMainWindow() override;

    // Null before createMainWindow().
    MainWindow *mainWindow() const { return m_main.get(); }
    // Null once the main window is shown.
    WaitWindow *waitWindow() const { return m_wait.get(); }

private:
    WaitWindow &wait();

    Context &m_ctx;
    std::unique_ptr<WaitWindow> m_wait;
    std::unique_ptr<MainWindow> m_main;
    bool m_waitAborted = false;
    bool m_waitDone = false; // the wait window is gone for good once the main window shows
};

} // namespace kestrel
