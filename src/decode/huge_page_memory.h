#pragma once

#include <cstddef>
#include <memory>
#include <vector>

namespace kestrel {

// Memory for large tables and texts that are read at random: on 2 MiB pages where the
// system grants them (with transparent huge pages in "madvise" mode), so that random
// reads over tens of megabytes do not also miss the TLB, and filling them takes one
// page fault per 2 MiB instead of per 4 KiB. Blocks under 2 MiB are ordinary memory.
struct HugePageFree {
    void operator()(void *p) const;
};
using HugePageBlock = std::unique_ptr<std::byte[], HugePageFree>;
HugePageBlock allocateHugePageBlock(size_t bytes, bool zeroed = true);

// Texts stored back to back in large blocks that never move, handed out for the
// lifetime of the arena.
class TextArena {
public:
    // Room for n bytes; nullptr only when memory runs out.
    char *allocate(size_t n);

private:
    std::vector<HugePageBlock> m_blocks;
    size_t m_blockSize = 0;
    size_t m_used = 0;
};

} // namespace kestrel
