#include "nntp/transfer_text.h"

#include <QLocale>

namespace kestrel {

namespace {

// Groups the whole part by thousands with commas, whatever the system locale says.
QString grouped(double value, int decimals)
{
    static const QLocale english(QLocale::English, QLocale::UnitedStates);
    return english.toString(value, 'f', decimals);
}

} // namespace

QString transferSpeedText(const QDateTime &start, const QDateTime &now, qint64 bytes)
{
    // Under the clock's millisecond (a reply read before its turn came) counts as 1 ms:
    // the rate shown is then a lower bound, not zero.
    qint64 msecs = start.msecsTo(now);
    if (msecs == 0)
        msecs = 1;
    const qint64 perSecond = msecs > 0 && bytes > 0 ? bytes * 1000 / msecs : 0;
    return grouped(double(perSecond) / 1000.0, 2);
}

QString kiloBytesText(qint64 bytes)
{
    return grouped(double(bytes) / 1000.0, 1);
}

} // namespace kestrel
