#pragma once

#include <QByteArray>
#include <QString>

namespace kestrel {

// A number as it is joined into messages and commands: a leading blank when it is
// not negative, a "-" when it is (" 90", "-3").
inline QString numText(qint64 n)
{
    return n < 0 ? QString::number(n) : QLatin1Char(' ') + QString::number(n);
}

inline QByteArray numBytes(qint64 n)
{
    return n < 0 ? QByteArray::number(n) : ' ' + QByteArray::number(n);
}

// Bytes from the wire or a list file, shown as text: UTF-8 when valid, else Latin-1.
QString displayText(const QByteArray &bytes);

} // namespace kestrel
