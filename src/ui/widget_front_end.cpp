#include "ui/widget_front_end.h"

#include "ui/main_window.h"
#include "ui/wait_window.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>

namespace kestrel {

WidgetFrontEnd::WidgetFrontEnd(Context &ctx) : m_ctx(ctx) {}

WidgetFrontEnd::~WidgetFrontEnd() = default;

WaitWindow &WidgetFrontEnd::wait()
{
    if (!m_wait)
        m_wait = std::make_unique<WaitWindow>();
    return *m_wait;
}

void WidgetFrontEnd::showWait()
{
    WaitWindow &w = wait();
    w.adjustSize();
    if (const QScreen *s = QGuiApplication::primaryScreen()) {
        QRect r = w.frameGeometry();
        r.moveCenter(s->availableGeometry().center());
        w.move(r.topLeft());
    }
    w.show();
    w.raise();
    w.activateWindow();
    w.repaint();
}

void WidgetFrontEnd::setWaitMaximum(int maximum)
{
    if (!m_waitDone)
        wait().setMaximum(maximum);
}

void WidgetFrontEnd::setWaitProgress(int value)
{
    if (!m_waitDone)
        wait().setProgress(value);
}

void WidgetFrontEnd::setWaitMessage(const QString &text)
{
    if (!m_waitDone)
        wait().setMessage(text);
}

bool WidgetFrontEnd::waitAbortRequested() const
{
    // Start-up runs before the event loop does: without this, an Esc pressed during the
    // CSV load would be read only after the load it is meant to stop. Sockets wait.
    if (m_wait && !m_waitDone)
        QCoreApplication::processEvents(QEventLoop::ExcludeSocketNotifiers);
    return m_waitAborted || (m_wait && m_wait->abortRequested());
}

void WidgetFrontEnd::createMainWindow()
{
    if (!m_main)
        m_main = std::make_unique<MainWindow>(m_ctx);
}

void WidgetFrontEnd::applyPlacement(const WindowPlacement &placement)
{
    createMainWindow();
    m_main->applyPlacement(placement);
}

void WidgetFrontEnd::createColumns(const std::array<int, 8> &widths)
{
    createMainWindow();
    m_main->setColumnWidths(widths);
}

void WidgetFrontEnd::showMainWindow()
{
    createMainWindow();
    m_main->show();
    if (m_wait)
        m_waitAborted = m_wait->abortRequested();
    m_wait.reset();
    m_waitDone = true;
}

PlacementNow WidgetFrontEnd::currentPlacement() const
{
    return m_main ? m_main->currentPlacement() : PlacementNow{};
}

std::array<int, 8> WidgetFrontEnd::columnWidths() const
{
    return m_main ? m_main->columnWidths() : MainWindow::defaultColumnWidths();
}

void WidgetFrontEnd::hideMainWindow()
{
    if (!m_main)
        return;
    m_main->setShutdownInProgress(true);
    m_main->hide();
}

} // namespace kestrel
