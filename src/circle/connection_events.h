#pragma once

namespace kestrel {

class SessionConnection;

// What opening and closing the connections means to the rest of the circle.
class ConnectionEvents {
public:
    virtual ~ConnectionEvents() = default;

    // Connect was asked for: the next stop is reported again.
    virtual void connectStarting() = 0;
    // A new scan connection was asked for: a scan of the old one is over without a word.
    virtual void scanConnectionRequested() = 0;
    // The scan connection is about to open: the scan session starts afresh.
    virtual void scanConnectionOpening() = 0;
    // The scan connection was closed.
    virtual void scanConnectionClosed() = 0;
    // QUIT went out on the scan connection: the scan ends at its next step.
    virtual void scanQuitSent() = 0;
    // A download connection was closed.
    virtual void downloadConnectionClosed(SessionConnection &c) = 0;
    // A download connection is about to be closed by an emergency reconnect.
    virtual void downloadEmergency(SessionConnection &c) = 0;
    // A download connection failed before its greeting: true when the run goes on
    // without it (a further connection the server refused), so no emergency follows.
    virtual bool downloadConnectionRefused(SessionConnection &c) = 0;
    // The circle stops here until someone starts it again.
    virtual void runStopped(bool error) = 0;
    virtual void hideLoginWindow() = 0;
    // There are no groups to scan: the user is asked to add some.
    virtual void showNewsgroups() = 0;
};

} // namespace kestrel
