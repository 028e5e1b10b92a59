#include "base/list_number.h"

#include "base/text_util.h"

#include <cmath>
#include <limits>

namespace kestrel {

namespace {

qint64 wholePart(double reading)
{
    // The double-to-integer cast is only defined inside the range.
    constexpr double twoTo63 = 0x1p63;
    if (reading >= twoTo63)
        return std::numeric_limits<qint64>::max();
    if (reading < -twoTo63)
        return std::numeric_limits<qint64>::min();
    return qint64(std::trunc(reading));
}

// Digits are written backwards from the buffer's end; the padding stops short of the
// buffer's start, which keeps room for the sign.
QByteArrayView writePadded(NumberBuffer &buf, qint64 value, int minDigits)
{
    char *const end = buf.data() + buf.size();
    char *p = end;
    quint64 n = value < 0 ? 0 - quint64(value) : quint64(value);
    do {
        *--p = char('0' + n % 10);
        n /= 10;
    } while (n != 0);
    while (end - p < minDigits && p > buf.data() + 1)
        *--p = '0';
    if (value < 0)
        *--p = '-';
    return QByteArrayView(p, end - p);
}

} // namespace

QByteArray paddedNumber(qint64 value, int minDigits)
{
    NumberBuffer buf;
    return writePadded(buf, value, minDigits).toByteArray();
}

ListNumber ListNumber::fromText(QByteArrayView text, int minDigits)
{
    ListNumber n;
    if (text.isEmpty())
        return n;
    bool ok = false;
    const qint64 v = text.toLongLong(&ok);
    NumberBuffer buf;
    if (ok && writePadded(buf, v, minDigits) == text) {
        n.m_value = v;
        return n;
    }
    n.m_value = wholePart(numericValue(text));
    n.m_keptText = text.toByteArray();
    return n;
}

QByteArray ListNumber::text(int minDigits) const
{
    if (!m_value || !m_keptText.isEmpty())
        return m_keptText;
    return paddedNumber(*m_value, minDigits);
}

QByteArrayView ListNumber::textView(NumberBuffer &buf, int minDigits) const
{
    if (!m_value || !m_keptText.isEmpty())
        return m_keptText;
    return writePadded(buf, *m_value, minDigits);
}

} // namespace kestrel
