#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace kestrel {

// Small byte-text helpers shared by the filter, the lists and the pending list. They
// work on views so the per-header path does not copy; letters are folded as ASCII.

inline char asciiUpper(char c)
{
    return (c >= 'a' && c <= 'z') ? char(c - 32) : c;
}

// Leading and trailing blanks (spaces only) removed.
QByteArrayView trimSpaces(QByteArrayView s);
QByteArray trimmedSpaces(const QByteArray &s);

QByteArray upperAscii(QByteArrayView s);
// Upper-cases ASCII letters in place, eight bytes at a time.
void upperAsciiInPlace(char *data, qsizetype size);

// Eight bytes with ASCII letters upper-cased, all other bytes kept.
inline quint64 upperAsciiWord(quint64 w)
{
    constexpr quint64 ones = 0x0101010101010101ull;
    constexpr quint64 high = 0x8080808080808080ull;
    const quint64 low7 = w & ~high;
    const quint64 atLeastA = low7 + (0x80 - 'a') * ones;
    const quint64 aboveZ = low7 + (0x80 - 'z' - 1) * ones;
    const quint64 isLower = atLeastA & ~aboveZ & ~w & high;
    return w & ~(isLower >> 2);
}

// First position of needle in hay, letters compared without case; -1 when absent.
qsizetype indexOfCI(QByteArrayView hay, QByteArrayView needle, qsizetype from = 0);
inline bool containsCI(QByteArrayView hay, QByteArrayView needle)
{
    return indexOfCI(hay, needle) >= 0;
}
bool equalsCI(QByteArrayView a, QByteArrayView b);

// The numeric value of a text: blanks, tabs and line feeds are skipped wherever they
// stand, then the longest start that reads as a decimal number (sign, digits, point,
// digits, exponent) is taken; 0 when there is none. "2 5 x" reads as 25.
double numericValue(QByteArrayView s);

// A number rounded to a whole one and zero-padded to at least minDigits digits
// ("00000" and "###00" patterns).
QByteArray zeroPadded(double value, int minDigits);

} // namespace kestrel

namespace kestrel {

// Calls fn(line) for every line of a text; lines end in LF, a CR before it is
// dropped, and a last line without LF counts too.
template <typename Fn> void forEachLine(QByteArrayView text, Fn &&fn)
{
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = text.indexOf('\n', start);
        const qsizetype next = end < 0 ? text.size() : end + 1;
        if (end < 0)
            end = text.size();
        QByteArrayView line = text.sliced(start, end - start);
        if (line.endsWith('\r'))
            line.chop(1);
        fn(line);
        start = next;
    }
}

} // namespace kestrel
