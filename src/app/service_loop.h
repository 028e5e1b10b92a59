#pragma once

#include <QObject>

namespace kestrel {

class Circle;
class Context;

// Keeps the circle going when nobody is there to press Connect: starts a scan at once
// and, whenever the circle would wait for the user, arms the countdown to the next scan.
// The windowed program ends the circle after a scan that found nothing new and after a
// failure; unattended, the same countdown simply comes round again.
class ServiceLoop : public QObject {
    Q_OBJECT
public:
    ServiceLoop(Context &ctx, Circle &circle, QObject *parent = nullptr);

    // Opens the scan connection once the event loop runs, as the Connect button would.
    void start();
    // The wait before the next scan: sldRescan when re-scanning is on, else 90 seconds.
    int secondsToNextScan() const;

private:
    void onWouldWait(bool error);

    Context &m_ctx;
    Circle &m_circle;
};

} // namespace kestrel
