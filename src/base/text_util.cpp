#include "base/text_util.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace kestrel {

QByteArrayView trimSpaces(QByteArrayView s)
{
    qsizetype b = 0;
    qsizetype e = s.size();
    while (b < e && s[b] == ' ')
        ++b;
    while (e > b && s[e - 1] == ' ')
        --e;
    return s.sliced(b, e - b);
}

QByteArray trimmedSpaces(const QByteArray &s)
{
    const QByteArrayView v = trimSpaces(s);
    if (v.size() == s.size())
        return s;
    return v.toByteArray();
}

QByteArray upperAscii(QByteArrayView s)
{
    QByteArray out(s.size(), Qt::Uninitialized);
    char *d = out.data();
    for (qsizetype i = 0; i < s.size(); ++i)
        d[i] = asciiUpper(s[i]);
    return out;
}

void upperAsciiInPlace(char *data, qsizetype size)
{
    qsizetype i = 0;
    for (; i + 8 <= size; i += 8) {
        quint64 w;
        std::memcpy(&w, data + i, 8);
        w = upperAsciiWord(w);
        std::memcpy(data + i, &w, 8);
    }
    for (; i < size; ++i)
        data[i] = asciiUpper(data[i]);
}

static bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

qsizetype indexOfCI(QByteArrayView hay, QByteArrayView needle, qsizetype from)
{
    const qsizetype n = needle.size();
    if (n == 0)
        return from <= hay.size() ? from : -1;
    if (hay.size() - from < n)
        return -1;
    const char first = needle[0];
    const char firstUp = asciiUpper(first);
    const char firstLow = isLetter(first) ? char(firstUp + 32) : first;
    const char *base = hay.data();
    const qsizetype last = hay.size() - n;
    for (qsizetype i = from; i <= last;) {
        // Skip quickly to the next possible first byte.
        const void *p = std::memchr(base + i, firstUp, size_t(last - i + 1));
        qsizetype cand = p ? static_cast<const char *>(p) - base : last + 1;
        if (firstLow != firstUp) {
            const void *q = std::memchr(base + i, firstLow, size_t(cand - i));
            if (q)
                cand = static_cast<const char *>(q) - base;
        }
        if (cand > last)
            return -1;
        qsizetype k = 1;
        while (k < n && asciiUpper(base[cand + k]) == asciiUpper(needle[k]))
            ++k;
        if (k == n)
            return cand;
        i = cand + 1;
    }
    return -1;
}

bool equalsCI(QByteArrayView a, QByteArrayView b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (asciiUpper(a[i]) != asciiUpper(b[i]))
            return false;
    return true;
}

namespace {

// Walks a text while skipping the characters the numeric rule ignores.
struct NumberCursor {
    QByteArrayView s;
    qsizetype i = 0;
    char peek()
    {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\n'))
            ++i;
        return i < s.size() ? s[i] : '\0';
    }
    void next() { ++i; }
};

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace

double numericValue(QByteArrayView s)
{
    NumberCursor c{s};
    bool negative = false;
    if (c.peek() == '+' || c.peek() == '-') {
        negative = c.peek() == '-';
        c.next();
    }
    double mantissa = 0;
    int digits = 0;
    int scale = 0; // power of ten applied to the digits collected
    while (isDigit(c.peek())) {
        mantissa = mantissa * 10 + (c.peek() - '0');
        ++digits;
        c.next();
    }
    if (c.peek() == '.') {
        c.next();
        while (isDigit(c.peek())) {
            mantissa = mantissa * 10 + (c.peek() - '0');
            ++digits;
            --scale;
            c.next();
        }
    }
    if (digits == 0)
        return 0;
    const char e = c.peek();
    if (e == 'e' || e == 'E') {
        // The exponent only counts when digits follow; otherwise the number ends here.
        NumberCursor probe = c;
        probe.next();
        bool expNegative = false;
        if (probe.peek() == '+' || probe.peek() == '-') {
            expNegative = probe.peek() == '-';
            probe.next();
        }
        if (isDigit(probe.peek())) {
            int exp = 0;
            while (isDigit(probe.peek())) {
                if (exp < 100000)
                    exp = exp * 10 + (probe.peek() - '0');
                probe.next();
            }
            scale += expNegative ? -exp : exp;
        }
    }
    double value = scale == 0 ? mantissa : mantissa * std::pow(10.0, scale);
    if (!std::isfinite(value))
        value = std::numeric_limits<double>::max();
    return negative ? -value : value;
}

QByteArray zeroPadded(double value, int minDigits)
{
    const double r = std::round(value);
    const double magnitude = std::fabs(r);
    if (magnitude >= 9.0e18) {
        QByteArray digits = QByteArray::number(magnitude, 'f', 0);
        return r < 0 ? '-' + digits : digits;
    }
    // Digits are written backwards into a small buffer: one allocation per call.
    char buf[24];
    char *end = buf + sizeof buf;
    char *p = end;
    auto n = quint64(magnitude);
    do {
        *--p = char('0' + n % 10);
        n /= 10;
    } while (n != 0);
    while (end - p < minDigits && p > buf + 1)
        *--p = '0';
    if (r < 0)
        *--p = '-';
    return QByteArray(p, end - p);
}

} // namespace kestrel
