#pragma once

#include <QDateTime>
#include <QString>

namespace kestrel {

// Thousands of bytes per second since start: whole bytes per second (fraction dropped,
// measured in milliseconds) divided by 1,000, two decimals; 0 when no time elapsed.
QString transferSpeedText(const QDateTime &start, const QDateTime &now, qint64 bytes);

// Thousands of bytes as "#,##0.0".
QString kiloBytesText(qint64 bytes);

} // namespace kestrel
