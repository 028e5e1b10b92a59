#pragma once

#include <QAbstractSocket>
#include <QString>

namespace kestrel {

// Socket states as the status texts number them: 0 closed, 1 open, 2 listening,
// 3 connection pending, 4 resolving host, 5 host resolved, 6 connecting, 7 connected,
// 8 peer closing, 9 error. Only 7 counts as connected.
int socketStateNumber(QAbstractSocket::SocketState state);

// The status text of a state number; empty outside 0..9.
QString socketStateText(int state);

} // namespace kestrel
