#include "name_index.h"

#include "text_util.h"

namespace kestrel {

uint64_t NameIndex::hashCI(QByteArrayView s)
{
    // FNV-1a over the upper-cased bytes, then a finaliser so the low bits mix well.
    uint64_t h = 0xcbf29ce484222325ull;
    for (char c : s) {
        h ^= uint8_t(asciiUpper(c));
        h *= 0x100000001b3ull;
    }
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdull;
    h ^= h >> 33;
    return h;
}

void NameIndex::clear()
{
    m_slots.clear();
    m_count = 0;
}

void NameIndex::reserve(size_t names)
{
    size_t cap = 16;
    while (cap < names * 2)
        cap *= 2;
    if (cap > m_slots.size() && m_count == 0)
        m_slots.assign(cap, Slot{});
}

bool NameIndex::placeOrFind(QByteArrayView text, uint32_t offset, uint32_t length)
{
    const QByteArrayView name = text.sliced(offset, length);
    const size_t mask = m_slots.size() - 1;
    for (size_t i = hashCI(name) & mask;; i = (i + 1) & mask) {
        Slot &s = m_slots[i];
        if (s.length == 0) {
            s = Slot{offset, length};
            ++m_count;
            return true;
        }
        if (s.length == length && equalsCI(text.sliced(s.offset, s.length), name))
            return false;
    }
}

void NameIndex::grow(QByteArrayView text)
{
    std::vector<Slot> old;
    old.swap(m_slots);
    m_slots.assign(old.empty() ? 16 : old.size() * 2, Slot{});
    m_count = 0;
    for (const Slot &s : old)
        if (s.length != 0)
            placeOrFind(text, s.offset, s.length);
}

void NameIndex::insert(QByteArrayView text, uint32_t offset, uint32_t length)
{
    if (length == 0)
        return;
    if ((m_count + 1) * 2 > m_slots.size())
        grow(text);
    placeOrFind(text, offset, length);
}

bool NameIndex::contains(QByteArrayView text, QByteArrayView name) const
{
    if (m_slots.empty() || name.isEmpty())
        return false;
    const size_t mask = m_slots.size() - 1;
    for (size_t i = hashCI(name) & mask;; i = (i + 1) & mask) {
        const Slot &s = m_slots[i];
        if (s.length == 0)
            return false;
        if (s.length == name.size() && equalsCI(text.sliced(s.offset, s.length), name))
            return true;
    }
}

} // namespace kestrel
