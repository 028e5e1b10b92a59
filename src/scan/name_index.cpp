#include "scan/name_index.h"

#include "base/text_util.h"

#include <cstring>

namespace kestrel {

namespace {

// Slots are at most this full (in eighths) before the table doubles.
constexpr size_t kMaxLoadEighths = 6;

size_t capacityFor(size_t names)
{
    size_t cap = 16;
    while (cap * kMaxLoadEighths / 8 < names)
        cap *= 2;
    return cap;
}

} // namespace

uint64_t NameIndex::hashCI(QByteArrayView s)
{
    // Eight bytes at a time, upper-cased word-wide and mixed by multiplication; the
    // tail is zero-padded.
    const auto fold = upperAsciiWord;
    uint64_t h = 0x9e3779b97f4a7c15ull ^ uint64_t(s.size());
    const char *p = s.data();
    qsizetype n = s.size();
    while (n >= 8) {
        uint64_t w;
        std::memcpy(&w, p, 8);
        h = (h ^ fold(w)) * 0xff51afd7ed558ccdull;
        h ^= h >> 29;
        p += 8;
        n -= 8;
    }
    if (n > 0) {
        uint64_t w = 0;
        std::memcpy(&w, p, size_t(n));
        h = (h ^ fold(w)) * 0xff51afd7ed558ccdull;
    }
    h ^= h >> 32;
    h *= 0xc4ceb9fe1a85ec53ull;
    h ^= h >> 29;
    return h;
}

void NameIndex::clear()
{
    m_slots.clear();
    m_filter.clear();
    m_filterBlocks = 0;
    m_count = 0;
}

void NameIndex::reserve(size_t names)
{
    if (m_count == 0 && capacityFor(names) > m_slots.size()) {
        m_slots.assign(capacityFor(names), Slot{});
        resizeFilter();
    }
}

// One 512-bit block per 64 slots: 11 to 21 bits a name at the table's load.
void NameIndex::resizeFilter()
{
    m_filterBlocks = std::max<uint64_t>(1, m_slots.size() / 64);
    m_filter.assign(size_t(m_filterBlocks * 8), 0);
}

namespace {

// Six bit positions inside one block, drawn from a second mix of the hash.
struct FilterProbe {
    size_t block;
    uint64_t h;
};

FilterProbe filterProbe(uint64_t hash, uint64_t blocks)
{
    const uint64_t h = hash * 0x9e3779b97f4a7c15ull;
    return {size_t((hash >> 20) & (blocks - 1)) * 8, h};
}

} // namespace

const uint64_t *NameIndex::filterBlock(uint64_t hash) const
{
    return m_filter.data() + filterProbe(hash, m_filterBlocks).block;
}

void NameIndex::addToFilter(uint64_t hash)
{
    const FilterProbe p = filterProbe(hash, m_filterBlocks);
    for (int k = 0; k < 6; ++k) {
        const unsigned bit = unsigned(p.h >> (k * 9)) & 511u;
        m_filter[p.block + (bit >> 6)] |= uint64_t(1) << (bit & 63);
    }
}

bool NameIndex::mayContain(uint64_t hash) const
{
    const FilterProbe p = filterProbe(hash, m_filterBlocks);
    for (int k = 0; k < 6; ++k) {
        const unsigned bit = unsigned(p.h >> (k * 9)) & 511u;
        if ((m_filter[p.block + (bit >> 6)] & (uint64_t(1) << (bit & 63))) == 0)
            return false;
    }
    return true;
}

void NameIndex::place(QByteArrayView text, uint32_t offset, uint32_t length, uint64_t hash)
{
    const size_t mask = m_slots.size() - 1;
    const auto tag = uint32_t(hash >> 32);
    const QByteArrayView name = text.sliced(offset, length);
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
        Slot &s = m_slots[i];
        if (s.length == 0) {
            s = Slot{offset, length, tag};
            ++m_count;
            addToFilter(hash);
            return;
        }
        if (s.tag == tag && s.length == length && equalsCI(text.sliced(s.offset, s.length), name))
            return;
    }
}

void NameIndex::growFor(size_t names, QByteArrayView text)
{
    if (capacityFor(names) <= m_slots.size())
        return;
    std::vector<Slot, HugePageAllocator<Slot>> old;
    old.swap(m_slots);
    m_slots.assign(capacityFor(names), Slot{});
    resizeFilter();
    m_count = 0;
    const size_t mask = m_slots.size() - 1;
    for (const Slot &s : old) {
        if (s.length == 0)
            continue;
        // Names were distinct already: find a free slot without comparing. The hash
        // is recomputed because only its high half is kept.
        const uint64_t h = hashCI(text.sliced(s.offset, s.length));
        size_t i = h & mask;
        while (m_slots[i].length != 0)
            i = (i + 1) & mask;
        m_slots[i] = s;
        addToFilter(h);
        ++m_count;
    }
}

void NameIndex::insert(QByteArrayView text, uint32_t offset, uint32_t length)
{
    if (length == 0)
        return;
    growFor(m_count + 1, text);
    place(text, offset, length, hashCI(text.sliced(offset, length)));
}

void NameIndex::insertAll(QByteArrayView text, uint32_t offset)
{
    // Hash a batch of names and touch their slots before placing them, so the cache
    // misses of a large table overlap instead of following one another.
    constexpr int Batch = 32;
    struct Pending {
        uint32_t offset, length;
        uint64_t hash;
    } batch[Batch];
    int filled = 0;
    auto flush = [&] {
        for (int b = 0; b < filled; ++b)
            place(text, batch[b].offset, batch[b].length, batch[b].hash);
        filled = 0;
    };
    const qsizetype n = text.size();
    qsizetype start = offset;
    while (start < n) {
        const void *comma = std::memchr(text.data() + start, ',', size_t(n - start));
        const qsizetype end = comma ? static_cast<const char *>(comma) - text.data() : n;
        if (end > start) {
            growFor(m_count + size_t(filled) + 1, text);
            const uint64_t h = hashCI(text.sliced(start, end - start));
            __builtin_prefetch(&m_slots[h & (m_slots.size() - 1)]);
            __builtin_prefetch(filterBlock(h));
            batch[filled++] = Pending{uint32_t(start), uint32_t(end - start), h};
            if (filled == Batch)
                flush();
        }
        start = end + 1;
    }
    flush();
}

bool NameIndex::contains(QByteArrayView text, QByteArrayView name) const
{
    if (m_slots.empty() || name.isEmpty())
        return false;
    const uint64_t h = hashCI(name);
    if (!mayContain(h))
        return false;
    const auto tag = uint32_t(h >> 32);
    const size_t mask = m_slots.size() - 1;
    for (size_t i = h & mask;; i = (i + 1) & mask) {
        const Slot &s = m_slots[i];
        if (s.length == 0)
            return false;
        if (s.tag == tag && s.length == name.size() && equalsCI(text.sliced(s.offset, s.length), name))
            return true;
    }
}

} // namespace kestrel
