#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace kestrel::newsd {

// The data lines of a yEnc part (between "=ybegin" and "=yend"), each ended by CR LF.
// A dot at the start of a line is left alone: the dot-stuffing on the wire covers it.
QByteArray yencLines(QByteArrayView data, int lineLength = 128);

// The data lines of a uuencoded file (between "begin" and the closing "`" line), each
// ended by CR LF, 45 bytes to a line.
QByteArray uuencodeLines(QByteArrayView data);

} // namespace kestrel::newsd
