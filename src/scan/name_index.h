#pragma once

#include <QByteArrayView>

#include <cstdint>
#include <vector>

namespace kestrel {

// A hashed set of names that live in one external text (the comma-separated
// no-re-download list). Slots hold offsets into that text, so a million names cost
// eight bytes each beside the text, and a look-up neither allocates nor upper-cases:
// hashing and comparing fold ASCII letters on the fly.
class NameIndex {
public:
    void clear();
    void reserve(size_t names);
    // Adds text[offset, offset+length) unless an equal name is present. The text is
    // passed again on every call because appending may move it.
    void insert(QByteArrayView text, uint32_t offset, uint32_t length);
    bool contains(QByteArrayView text, QByteArrayView name) const;
    size_t size() const { return m_count; }

private:
    struct Slot {
        uint32_t offset = 0;
        uint32_t length = 0;   // 0: empty slot (names are never empty)
    };
    static uint64_t hashCI(QByteArrayView s);
    void grow(QByteArrayView text);
    bool placeOrFind(QByteArrayView text, uint32_t offset, uint32_t length);

    std::vector<Slot> m_slots;
    size_t m_count = 0;
};

} // namespace kestrel
