#include "decode/folded_name_table.h"

#include <utility>

namespace kestrel {

bool sameFoldedName(QByteArrayView a, QByteArrayView b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (foldUpper(a[i]) != foldUpper(b[i]))
            return false;
    }
    return true;
}

quint32 foldedNameHash(QByteArrayView name)
{
    // FNV-1a, then a final mix so that the low bits used for the slot depend on
    // every byte.
    quint64 h = 0xcbf29ce484222325ull;
    for (const char c : name) {
        h ^= quint8(foldUpper(c));
        h *= 0x100000001b3ull;
    }
    h ^= h >> 29;
    h *= 0xbf58476d1ce4e5b9ull;
    h ^= h >> 32;
    return quint32(h);
}

void FoldedNameTable::reserveMore(size_t more)
{
    size_t wanted = m_slots.empty() ? 1024 : m_slots.size();
    while ((m_count + more) * 2 > wanted)
        wanted *= 2;
    if (wanted != m_slots.size())
        rehash(wanted);
}

void FoldedNameTable::rehash(size_t slotCount)
{
    SlotArray old(slotCount);
    std::swap(old, m_slots);
    for (size_t i = 0; i < old.size(); ++i) {
        if (old[i].textPlusOne != 0)
            place(old[i]);
    }
}

void FoldedNameTable::place(const Slot &slot)
{
    const size_t mask = m_slots.size() - 1;
    size_t i = slot.hash & mask;
    while (m_slots[i].textPlusOne != 0)
        i = (i + 1) & mask;
    m_slots[i] = slot;
}

} // namespace kestrel
