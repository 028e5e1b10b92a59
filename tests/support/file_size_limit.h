#pragma once

#include <sys/resource.h>

namespace kestrel::test {

// Makes the kernel refuse, for this process, every write that would grow a file past
// `bytes` (EFBIG), the way a full disk refuses it: a real write failure without a
// small file system to fill. The signal the kernel sends for it is ignored, so the
// write returns an error instead of ending the test. The limit goes when this does.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
};

} // namespace kestrel::test
