#include "decode/huge_page_memory.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <sys/mman.h>

namespace kestrel {

namespace {
constexpr size_t kHugePage = 2 * 1024 * 1024;
constexpr size_t kMaxTextBlock = 64 * 1024 * 1024;

size_t roundUp(size_t n, size_t to)
{
    return (n + to - 1) / to * to;
}
} // namespace

void HugePageFree::operator()(void *p) const
{
    std::free(p);
}

HugePageBlock allocateHugePageBlock(size_t bytes, bool zeroed)
{
    void *p = nullptr;
    if (bytes >= kHugePage) {
        const size_t rounded = roundUp(bytes, kHugePage);
        p = std::aligned_alloc(kHugePage, rounded);
#ifdef MADV_HUGEPAGE
        if (p)
            madvise(p, rounded, MADV_HUGEPAGE);
#endif
    } else {
        p = std::malloc(bytes ? bytes : 1);
    }
    if (!p)
        throw std::bad_alloc();
    if (zeroed)
        std::memset(p, 0, bytes);
    return HugePageBlock(static_cast<std::byte *>(p));
}

char *TextArena::allocate(size_t n)
{
    if (m_blocks.empty() || m_blockSize - m_used < n) {
        // Blocks double up to a limit: a small CSV folder costs no more than its size,
        // a large one gets large blocks on huge pages.
        m_blockSize = std::max(n, std::min(m_blockSize * 2, kMaxTextBlock));
        m_blocks.push_back(allocateHugePageBlock(m_blockSize, false));
        m_used = 0;
    }
    char *p = reinterpret_cast<char *>(m_blocks.back().get()) + m_used;
    m_used += n;
    return p;
}

} // namespace kestrel
