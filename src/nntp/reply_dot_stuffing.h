#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace kestrel {

// Undoes the dot-stuffing of a block: a line that begins with "." loses that first
// dot ("..x" becomes ".x"). Line ends are kept as they are.
QByteArray unstuffDots(QByteArrayView block);

} // namespace kestrel
