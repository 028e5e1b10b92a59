#include "scan/part_counter.h"

#include "base/text_util.h"

namespace kestrel {

namespace {

// Wider numbers are not counters (they do not fit the part fields either).
constexpr int kMaxDigits = 5;
// A bare word is the weakest sign: "2005/2006" is a season, not part 2005 of 2006.
constexpr int kMaxBareDigits = 3;

struct Candidate {
    qsizetype start = -1;
    qsizetype end = 0; // one past the counter
    int number = 0;
    int total = 0;
};

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool isWordChar(char c)
{
    return isDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Reads 1..maxDigits digits at pos; -1 when there are none or too many.
int readNumber(QByteArrayView s, qsizetype &pos, int maxDigits = kMaxDigits)
{
    const qsizetype from = pos;
    int value = 0;
    while (pos < s.size() && isDigit(s[pos])) {
        if (pos - from == maxDigits)
            return -1;
        value = value * 10 + (s[pos] - '0');
        ++pos;
    }
    return pos > from ? value : -1;
}

// "k/n" at pos; pos moves past it.
bool readSlashPair(QByteArrayView s, qsizetype &pos, int &k, int &n, int maxDigits = kMaxDigits)
{
    k = readNumber(s, pos, maxDigits);
    if (k < 0 || pos >= s.size() || s[pos] != '/')
        return false;
    ++pos;
    n = readNumber(s, pos, maxDigits);
    return n >= 0;
}

bool skipBlanks(QByteArrayView s, qsizetype &pos)
{
    const qsizetype from = pos;
    while (pos < s.size() && isBlank(s[pos]))
        ++pos;
    return pos > from;
}

// "(k/n)" or "[k/n]" opening at i.
std::optional<Candidate> bracketed(QByteArrayView s, qsizetype i)
{
    const char close = s[i] == '(' ? ')' : s[i] == '[' ? ']' : '\0';
    if (close == '\0')
        return std::nullopt;
    qsizetype pos = i + 1;
    Candidate c{i};
    if (!readSlashPair(s, pos, c.number, c.total) || pos >= s.size() || s[pos] != close)
        return std::nullopt;
    c.end = pos + 1;
    return c;
}

// "part k of n" starting at i, as a word of its own.
std::optional<Candidate> spelledOut(QByteArrayView s, qsizetype i)
{
    if ((i > 0 && isWordChar(s[i - 1])) ||
        !equalsCI(s.sliced(i).first(std::min<qsizetype>(4, s.size() - i)), "part"))
        return std::nullopt;
    qsizetype pos = i + 4;
    Candidate c{i};
    if (!skipBlanks(s, pos) || (c.number = readNumber(s, pos)) < 0 || !skipBlanks(s, pos))
        return std::nullopt;
    if (pos + 2 > s.size() || !equalsCI(s.sliced(pos, 2), "of"))
        return std::nullopt;
    pos += 2;
    if (!skipBlanks(s, pos) || (c.total = readNumber(s, pos)) < 0)
        return std::nullopt;
    if (pos < s.size() && isWordChar(s[pos]))
        return std::nullopt;
    c.end = pos;
    return c;
}

// A blank-separated word that is nothing but "k/n", starting at i.
std::optional<Candidate> bareWord(QByteArrayView s, qsizetype i)
{
    if (i > 0 && !isBlank(s[i - 1]))
        return std::nullopt;
    qsizetype pos = i;
    Candidate c{i};
    if (!readSlashPair(s, pos, c.number, c.total, kMaxBareDigits) || (pos < s.size() && !isBlank(s[pos])))
        return std::nullopt;
    c.end = pos;
    return c;
}

std::optional<Candidate> lastCandidate(QByteArrayView s)
{
    for (qsizetype i = s.size() - 1; i >= 0; --i) {
        for (auto shape : {bracketed, spelledOut, bareWord})
            if (auto c = shape(s, i))
                return c;
    }
    return std::nullopt;
}

} // namespace

std::optional<PartCounter> findPartCounter(QByteArrayView subject)
{
    const std::optional<Candidate> c = lastCandidate(subject);
    if (!c || c->total < 2 || c->number < 1 || c->number > c->total)
        return std::nullopt;
    const QByteArrayView before = trimSpaces(subject.first(c->start));
    const QByteArrayView after = trimSpaces(subject.sliced(c->end));
    PartCounter out{c->number, c->total, before.toByteArray()};
    if (!before.isEmpty() && !after.isEmpty())
        out.rest += ' ';
    out.rest += after;
    return out;
}

} // namespace kestrel
