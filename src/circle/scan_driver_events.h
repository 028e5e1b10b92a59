#pragma once

namespace kestrel {

// What the scan driver tells the rest of the circle when a scan ends.
class ScanDriverEvents {
public:
    virtual ~ScanDriverEvents() = default;

    // The scan is over and chkAutodownload asks for the download run.
    virtual void downloadWanted() = 0;
    // The scan connection went before every group was read: the scan ends cut short.
    virtual void scanCutShort() = 0;
    // The circle stops here until someone starts it again.
    virtual void runStopped(bool error) = 0;
};

} // namespace kestrel
