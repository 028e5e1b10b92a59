#include "base/format_speed.h"

#include "base/clock.h"

namespace kestrel {

namespace {

QString grouped(qint64 whole)
{
    QString digits = QString::number(whole);
    for (qsizetype i = digits.size() - 3; i > 0; i -= 3)
        digits.insert(i, QLatin1Char(','));
    return digits;
}

// Rounds a non-negative quotient n / d to the nearest whole number, halves up.
qint64 roundedQuotient(qint64 n, qint64 d)
{
    return (n + d / 2) / d;
}

} // namespace

QString formatKb(qint64 bytes)
{
    const bool negative = bytes < 0;
    const qint64 tenths = roundedQuotient(negative ? -bytes : bytes, 100);
    return (negative && tenths ? QStringLiteral("-") : QString()) + grouped(tenths / 10) + QLatin1Char('.') +
           QString::number(tenths % 10);
}

QString formatSpeed(qint64 elapsedMsecs, qint64 bytes)
{
    // An article whose reply was already read when its turn came (requests in flight)
    // took less than the clock's millisecond: its rate is at least that of 1 ms.
    if (elapsedMsecs == 0)
        elapsedMsecs = 1;
    const qint64 rate = elapsedMsecs > 0 && bytes > 0 ? bytes * 1000 / elapsedMsecs : 0;
    const qint64 hundredths = roundedQuotient(rate, 10);
    const qint64 whole = hundredths / 100;
    const qint64 fraction = hundredths % 100;
    return (whole ? grouped(whole) : QString()) + QLatin1Char('.') +
           QString::number(fraction).rightJustified(2, QLatin1Char('0'));
}

QString formatSpeed(const Clock &clock, const QDateTime &start, qint64 bytes)
{
    return formatSpeed(start.isValid() ? start.msecsTo(clock.now()) : 0, bytes);
}

} // namespace kestrel
