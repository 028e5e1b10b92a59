#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

namespace kestrel {

class Context;

// The main window's countdown to the next scan (timer): armed when a download run
// ends with new headers read, or by an emergency reconnect.
class RescanCountdown : public QObject {
    Q_OBJECT
public:
    // connectScan is called when the count reaches 0.
    RescanCountdown(Context &ctx, std::function<void()> connectScan, QObject *parent = nullptr);

    // Sets RescanArmed and RescanCountdown and starts the timer.
    void arm(int seconds);
    // Stops the timer without a word (the stop-scan button).
    void stop() { m_timer.stop(); }
    bool running() const { return m_timer.isActive(); }
    QTimer &timer() { return m_timer; }

    // Every 1000 ms; tests call it directly.
    void tick();

private:
    Context &m_ctx;
    std::function<void()> m_connectScan;
    QTimer m_timer;
};

} // namespace kestrel
