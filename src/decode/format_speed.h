#pragma once

#include <QDateTime>
#include <QString>

namespace kestrel {

class Clock;

// A byte count in thousands with one decimal and grouped thousands, at least "0.0":
// 512 gives "0.5", 1234567 gives "1,234.6".
QString formatKb(qint64 bytes);

// Transfer speed in thousands of bytes per second with two decimals and grouped
// thousands; a zero whole part is left out (".50", ".00", "1,234.57"). The rate is the
// byte count divided by the whole seconds elapsed, fraction dropped; under one second
// (or a clock that went back) the rate is 0.
QString formatSpeed(qint64 wholeSeconds, qint64 bytes);
// The same measured from `start` to the clock's now.
QString formatSpeed(const Clock &clock, const QDateTime &start, qint64 bytes);

} // namespace kestrel
