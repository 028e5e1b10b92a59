#pragma once

#include <QByteArrayView>

#include <vector>

namespace kestrel {

inline char foldUpper(char c)
{
    return (c >= 'a' && c <= 'z') ? char(c - ('a' - 'A')) : c;
}

// Names compare without regard to ASCII case. Only ASCII letters are folded: names
// come as UTF-8 or as some 8-bit code page, and folding other bytes would corrupt
// one of them.
bool sameFoldedName(QByteArrayView a, QByteArrayView b);
quint32 foldedNameHash(QByteArrayView name);

// An open-addressing hash table of entry numbers. The table holds no keys: the caller
// keeps them (as positions in the loaded texts) and says through `same(entry)` whether
// an entry's key is the one looked for. This keeps a million names at 8 bytes each
// plus what the caller stores, without one allocation per name.
class FoldedNameTable {
public:
    // Entry number stored for the key, or -1.
    template <typename Same>
    qint64 find(quint32 hash, Same same) const
    {
        if (m_slots.empty())
            return -1;
        const size_t mask = m_slots.size() - 1;
        for (size_t i = hash & mask;; i = (i + 1) & mask) {
            const Slot &s = m_slots[i];
            if (s.entryPlusOne == 0)
                return -1;
            if (s.hash == hash && same(s.entryPlusOne - 1))
                return qint64(s.entryPlusOne - 1);
        }
    }

    // Stores entry under the key unless the key is already there (the first entry of
    // a key stays). Returns true when stored.
    template <typename Same>
    bool insertUnique(quint32 hash, quint32 entry, Same same)
    {
        if (find(hash, same) >= 0)
            return false;
        if ((m_count + 1) * 2 > m_slots.size())
            grow();
        place(hash, entry);
        ++m_count;
        return true;
    }

    // Starts loading the slot a hash probes first, so that a run of inserts does not
    // wait for memory one at a time. Valid only while no insert makes the table grow.
    void prefetch(quint32 hash) const
    {
        if (!m_slots.empty())
            __builtin_prefetch(&m_slots[hash & (m_slots.size() - 1)]);
    }

    size_t size() const { return m_count; }
    // Makes room for `more` further entries at once, instead of growing step by step.
    void reserveMore(size_t more);

private:
    struct Slot {
        quint32 hash = 0;
        quint32 entryPlusOne = 0;   // 0 marks a free slot
    };
    void grow() { rehash(m_slots.empty() ? 1024 : m_slots.size() * 2); }
    void rehash(size_t slotCount);
    void place(quint32 hash, quint32 entry);

    std::vector<Slot> m_slots;
    size_t m_count = 0;
};

} // namespace kestrel
