#pragma once

#include <QAbstractSocket>
#include <QString>

namespace kestrel {

// The status text shown for a connection in this socket state ("Connection Closed",
// "Connected", ...); "TCP Error" for a state Qt may add later.
QString socketStateText(QAbstractSocket::SocketState state);

} // namespace kestrel
