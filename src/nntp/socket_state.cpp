#include "nntp/socket_state.h"

namespace kestrel {

int socketStateNumber(QAbstractSocket::SocketState state)
{
    switch (state) {
    case QAbstractSocket::UnconnectedState:
        return 0;
    case QAbstractSocket::BoundState:
        return 1;
    case QAbstractSocket::ListeningState:
        return 2;
    case QAbstractSocket::HostLookupState:
        return 4;
    case QAbstractSocket::ConnectingState:
        return 6;
    case QAbstractSocket::ConnectedState:
        return 7;
    case QAbstractSocket::ClosingState:
        return 8;
    }
    return 9;
}

QString socketStateText(int state)
{
    static const char *const texts[] = {
        "Connection Closed",  "Open",           "Listening",
        "Connection pending", "Resolving Host", "Host resolved",
        "Connecting",         "Connected",      "Peer is closing the connection",
        "TCP Error",
    };
    if (state < 0 || state > 9)
        return {};
    return QString::fromLatin1(texts[state]);
}

} // namespace kestrel
