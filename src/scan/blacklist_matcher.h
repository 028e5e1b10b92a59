#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <cstdint>
#include <vector>

namespace kestrel {

// Finds which of a set of sub-strings occurs in a text, letters folded as ASCII, in
// one pass over the text whatever the number of entries (an Aho-Corasick automaton).
// When several entries occur, the one first in list order wins.
class BlacklistMatcher {
public:
    // Entries as they will be reported: already trimmed and upper-cased; empty ones
    // never match.
    void build(const QList<QByteArray> &entries);
    // Index of the first entry in list order that occurs in text, or -1.
    int firstMatch(QByteArrayView text) const;
    bool isEmpty() const { return m_patterns == 0; }

private:
    static constexpr int32_t None = INT32_MAX;
    int m_classes = 1; // byte classes; 0 is every byte no entry uses
    uint8_t m_classOf[256] = {};
    bool m_startsEntry[256] = {}; // bytes that leave the start state
    // One row per state: the lowest entry index ending there (or None), then the next
    // row's offset for each byte class. States are named by their row offsets.
    std::vector<int32_t> m_rows;
    int m_patterns = 0;
};

} // namespace kestrel
