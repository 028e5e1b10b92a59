#pragma once

#include <QDateTime>
#include <QString>

namespace kestrel {

// Thousands of bytes per second since start, as "###,###.#0": whole bytes per second
// (fraction dropped) divided by 1,000; 0 within the first second.
QString transferSpeedText(const QDateTime &start, const QDateTime &now, qint64 bytes);

// Thousands of bytes as "#,##0.0".
QString kiloBytesText(qint64 bytes);

} // namespace kestrel
