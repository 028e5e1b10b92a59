#pragma once

#include "decode/huge_page_memory.h"

#include <QByteArrayView>

#include <optional>

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

// Where a name lies in the loaded texts: text number, offset, length.
struct NameRef {
    quint32 text = 0;
    quint32 length = 0;
    qint64 offset = 0;
};

// An open-addressing hash table of name positions. The names stay in the caller's
// texts; `same(ref)` says whether the name at ref is the one looked for. Each slot is
// 16 bytes and a lookup touches one slot and then the text: a million names cost
// 32 MB and no allocation per name.
class FoldedNameTable {
public:
    // Longer names, or names further into a text, are not indexed.
    static constexpr qint64 kMaxLength = (qint64(1) << 24) - 1;
    static constexpr qint64 kMaxOffset = (qint64(1) << 40) - 1;

    template <typename Same> std::optional<NameRef> find(quint32 hash, Same same) const
    {
        if (m_slots.empty())
            return std::nullopt;
        const size_t mask = m_slots.size() - 1;
        for (size_t i = hash & mask;; i = (i + 1) & mask) {
            const Slot &s = m_slots[i];
            if (s.textPlusOne == 0)
                return std::nullopt;
            if (s.hash == hash) {
                const NameRef r = refOf(s);
                if (same(r))
                    return r;
            }
        }
    }

    // Stores ref under its name unless the name is already there (the first stays).
    // Returns true when stored. ref's length and offset must be within the limits.
    template <typename Same> bool insertUnique(quint32 hash, const NameRef &ref, Same same)
    {
        if (find(hash, same))
            return false;
        if ((m_count + 1) * 2 > m_slots.size())
            grow();
        place(Slot{hash, ref.text + 1, (quint64(ref.offset) << 24) | ref.length});
        ++m_count;
        return true;
    }

    // Starts loading the slot a hash probes first, so that a run of inserts does not
    // wait for memory one at a time.
    void prefetch(quint32 hash) const
    {
        if (!m_slots.empty())
            __builtin_prefetch(&m_slots[hash & (m_slots.size() - 1)]);
    }

    // Makes room for `more` further names at once, instead of growing step by step.
    void reserveMore(size_t more);
    size_t size() const { return m_count; }

private:
    struct Slot {
        quint32 hash = 0;
        quint32 textPlusOne = 0; // 0 marks a free slot
        quint64 offsetAndLength = 0;
    };
    static NameRef refOf(const Slot &s)
    {
        return NameRef{s.textPlusOne - 1, quint32(s.offsetAndLength & kMaxLength),
                       qint64(s.offsetAndLength >> 24)};
    }
    void grow() { rehash(m_slots.empty() ? 1024 : m_slots.size() * 2); }
    void rehash(size_t slotCount);
    void place(const Slot &slot);

    // The slot array, on huge pages: random probes into tens of megabytes otherwise
    // miss the TLB as well as the cache. All-zero slots are free.
    class SlotArray {
    public:
        SlotArray() = default;
        explicit SlotArray(size_t n) : m_block(allocateHugePageBlock(n * sizeof(Slot))), m_count(n) {}
        size_t size() const { return m_count; }
        bool empty() const { return m_count == 0; }
        Slot &operator[](size_t i) { return reinterpret_cast<Slot *>(m_block.get())[i]; }
        const Slot &operator[](size_t i) const { return reinterpret_cast<const Slot *>(m_block.get())[i]; }

    private:
        HugePageBlock m_block;
        size_t m_count = 0;
    };
    SlotArray m_slots;
    size_t m_count = 0;
};

} // namespace kestrel
