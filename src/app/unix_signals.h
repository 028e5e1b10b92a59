#pragma once

#include <QObject>

namespace kestrel {

// Turns SIGINT and SIGTERM into a Qt signal delivered on the event loop, so that the
// normal shutdown sequence can run instead of the process dying mid-write.
class UnixSignals : public QObject {
    Q_OBJECT
public:
    explicit UnixSignals(QObject *parent = nullptr);
    ~UnixSignals() override;

    // Holds SIGINT and SIGTERM back until a UnixSignals exists, so that a request made
    // while the program starts is served by the normal shutdown instead of killing it.
    static void blockTerminationSignals();

Q_SIGNALS:
    void terminationRequested(int signalNumber);

private:
    void readSignal();
};

} // namespace kestrel
