#pragma once

#include <QByteArrayView>
#include <QString>

namespace kestrel {

// Bytes as whole kilobytes with the system's thousands separator; empty below half a
// kilobyte ("###,###").
QString kbWhole(qint64 bytes);
// Bytes as kilobytes with one decimal; no digit before the point below one ("###,###.0",
// 512 bytes give ".5").
QString kbOneDecimal(qint64 bytes);

// The numeric value of the leading number of a text (blanks before it skipped, an
// optional sign); 0 when it does not begin with one.
qint64 leadingNumber(QByteArrayView text);

// "Total (est.)" of a result row: last - first with at least five digits, or " ? " when
// the difference is -1 (an empty group) or above 90999 (too big to be a real count).
QString estimateText(qint64 estimate);

} // namespace kestrel
