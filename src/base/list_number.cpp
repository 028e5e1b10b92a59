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

} // namespace

QByteArray paddedNumber(qint64 value, int minDigits)
{
    QByteArray digits = QByteArray::number(value);
    const bool negative = value < 0;
    const qsizetype shortBy = minDigits - (digits.size() - (negative ? 1 : 0));
    if (shortBy > 0)
        digits.insert(negative ? 1 : 0, shortBy, '0');
    return digits;
}

ListNumber ListNumber::fromText(QByteArrayView text, int minDigits)
{
    ListNumber n;
    if (text.isEmpty())
        return n;
    bool ok = false;
    const qint64 v = text.toLongLong(&ok);
    if (ok && paddedNumber(v, minDigits) == text) {
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

} // namespace kestrel
