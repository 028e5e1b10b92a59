#pragma once

#include "scan/huge_page_allocator.h"

#include <QByteArrayView>

#include <cstdint>
#include <vector>

namespace kestrel {

// A hashed set of names that live in one external text (the comma-separated
// no-re-download list). Slots hold offsets into that text, so a million names cost a
// few bytes each beside the text, and a look-up neither allocates nor upper-cases:
// hashing and comparing fold ASCII letters on the fly. Each slot keeps part of the
// hash, so a miss usually touches only the table, not the text; and a small blocked
// Bloom filter in front of the table answers most misses from one cache line, so a
// look-up costs about the same for ten thousand names as for a million.
class NameIndex {
public:
    void clear();
    void reserve(size_t names);
    // Adds text[offset, offset+length) unless an equal name is present. The text is
    // passed again on every call because appending may move it.
    void insert(QByteArrayView text, uint32_t offset, uint32_t length);
    // Adds every name of a text of comma-separated names (a last one without its
    // comma counts too), starting at offset.
    void insertAll(QByteArrayView text, uint32_t offset = 0);
    bool contains(QByteArrayView text, QByteArrayView name) const;
    size_t size() const { return m_count; }

private:
    struct Slot {
        uint32_t offset = 0;
        uint32_t length = 0; // 0: empty slot (names are never empty)
        uint32_t tag = 0;    // high bits of the hash
    };
    static uint64_t hashCI(QByteArrayView s);
    const uint64_t *filterBlock(uint64_t hash) const;
    void growFor(size_t names, QByteArrayView text);
    void place(QByteArrayView text, uint32_t offset, uint32_t length, uint64_t hash);
    void resizeFilter();
    void addToFilter(uint64_t hash);
    bool mayContain(uint64_t hash) const;

    std::vector<Slot, HugePageAllocator<Slot>> m_slots;
    std::vector<uint64_t, HugePageAllocator<uint64_t>> m_filter; // blocks of eight words (one cache line)
    uint64_t m_filterBlocks = 0;                                 // a power of two
    size_t m_count = 0;
};

} // namespace kestrel
