#pragma once

#include <QDateTime>
#include <QString>

namespace kestrel {

class Clock;

// A byte count in thousands with one decimal and grouped thousands, at least "0.0":
// 512 gives "0.5", 1234567 gives "1,234.6".
QString formatKb(qint64 bytes);

// Transfer speed in thousands of bytes per second with two decimals and grouped
// thousands; a zero whole part is left out (".50", ".00", "1,234.57"). The rate is
// whole bytes per second, fraction dropped, measured in milliseconds: most articles
// arrive in well under a second. Under a millisecond counts as one; a clock that went
// back gives 0.
QString formatSpeed(qint64 elapsedMsecs, qint64 bytes);
// The same measured from `start` to the clock's now.
QString formatSpeed(const Clock &clock, const QDateTime &start, qint64 bytes);

} // namespace kestrel
