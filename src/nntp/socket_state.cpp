#include "nntp/socket_state.h"

namespace kestrel {

QString socketStateText(QAbstractSocket::SocketState state)
{
    switch (state) {
    case QAbstractSocket::UnconnectedState:
        return QStringLiteral("Connection Closed");
    case QAbstractSocket::BoundState:
        return QStringLiteral("Open");
    case QAbstractSocket::ListeningState:
        return QStringLiteral("Listening");
    case QAbstractSocket::HostLookupState:
        return QStringLiteral("Resolving Host");
    case QAbstractSocket::ConnectingState:
        return QStringLiteral("Connecting");
    case QAbstractSocket::ConnectedState:
        return QStringLiteral("Connected");
    case QAbstractSocket::ClosingState:
        return QStringLiteral("Peer is closing the connection");
    }
    return QStringLiteral("TCP Error");
}

} // namespace kestrel
