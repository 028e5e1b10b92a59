#pragma once

namespace kestrel {

// What the scan session tells the rest of the circle. The session only reports; the
// circle decides who acts on it.
class ScanEvents {
public:
    virtual ~ScanEvents() = default;

    // The scan connection is ready (greeting, login or slave answer): the scan starts.
    virtual void scanConnectionReady() = 0;
    // The current group is read, skipped or failed: the scan driver moves on. Reported
    // after every batch of replies while the group stays over.
    virtual void groupFinished() = 0;
    // The pending list is full: the scan stops here.
    virtual void pendingListFull() = 0;
    // The server wants a password the user has not given.
    virtual void showLoginWindow() = 0;
    // The circle stops here until someone starts it again.
    virtual void runStopped(bool error) = 0;
};

} // namespace kestrel
