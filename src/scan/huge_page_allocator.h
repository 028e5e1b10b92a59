#pragma once

#include <cstddef>
#include <cstdlib>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace kestrel {

// An allocator for large look-up tables that are read at random: blocks of 2 MB and
// more are aligned to 2 MB and offered to the kernel as huge pages, which spares a
// TLB miss on most probes. Small blocks come from the ordinary heap.
template <typename T> struct HugePageAllocator {
    using value_type = T;
    static constexpr std::size_t HugePage = std::size_t(2) << 20;

    HugePageAllocator() = default;
    template <typename U> HugePageAllocator(const HugePageAllocator<U> &) noexcept {}

    T *allocate(std::size_t n)
    {
        const std::size_t bytes = n * sizeof(T);
        if (bytes < HugePage) {
            if (void *p = std::malloc(bytes == 0 ? 1 : bytes))
                return static_cast<T *>(p);
            throw std::bad_alloc();
        }
        const std::size_t rounded = (bytes + HugePage - 1) / HugePage * HugePage;
        void *p = std::aligned_alloc(HugePage, rounded);
        if (!p)
            throw std::bad_alloc();
#if defined(__linux__) && defined(MADV_HUGEPAGE)
        madvise(p, rounded, MADV_HUGEPAGE);
#endif
        return static_cast<T *>(p);
    }
    void deallocate(T *p, std::size_t) noexcept
    {
        std::free(p);
    }

    template <typename U> bool operator==(const HugePageAllocator<U> &) const noexcept
    {
        return true;
    }
};

} // namespace kestrel
