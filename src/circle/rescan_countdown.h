#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

namespace kestrel {

class Context;

// The main window's countdown to the next scan (Timer1): armed when a download run
// ends with new headers read, or by an emergency reconnect.
class RescanCountdown : public QObject {
    Q_OBJECT
public:
    // connectScan is called when the count reaches 0.
    RescanCountdown(Context &ctx, std::function<void()> connectScan, QObject *parent = nullptr);

    // Sets RescanArmed and RescanCountdown and starts the timer.
    void arm(int seconds);
    // Stops the timer without a word (the stop-scan button).
    void stop() { m_timer1.stop(); }
    bool running() const { return m_timer1.isActive(); }
    QTimer &Timer1() { return m_timer1; }

    // Every 1000 ms; tests call it directly.
    void tick();

private:
    Context &m_ctx;
    std::function<void()> m_connectScan;
    QTimer m_timer1;
};

} // namespace kestrel
