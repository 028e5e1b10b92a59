#pragma once

namespace kestrel {

// What the download session tells the rest of the circle.
class DownloadEvents {
public:
    virtual ~DownloadEvents() = default;

    // A download run starts: the next stop is reported again.
    virtual void runStarting() = 0;
    // The circle stops here until someone starts it again.
    virtual void runStopped(bool error) = 0;
    // The server wants a password the user has not given.
    virtual void showLoginWindow() = 0;
};

} // namespace kestrel
