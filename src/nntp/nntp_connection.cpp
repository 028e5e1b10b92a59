#include "nntp_connection.h"

#include "socket_state.h"

namespace kestrel {

NntpConnection::NntpConnection(int number, QObject *parent) : QObject(parent), m_number(number)
{
    connect(&m_socket, &QTcpSocket::readyRead, this, &NntpConnection::onReadyRead);
    connect(&m_socket, &QTcpSocket::errorOccurred, this, &NntpConnection::onError);
    connect(&m_socket, &QTcpSocket::disconnected, this, &NntpConnection::onDisconnected);
}

NntpConnection::~NntpConnection()
{
    // Closing the socket while it is taken apart must not reach the owner's handlers.
    m_socket.disconnect(this);
    m_socket.abort();
}

int NntpConnection::state() const
{
    return socketStateNumber(m_socket.state());
}

void NntpConnection::open(const QString &host, quint16 port)
{
    m_reader.reset();
    m_closedByUs = false;
    m_quitSent = false;
    m_socket.connectToHost(host, port);
}

bool NntpConnection::sendLine(const QByteArray &line, ReplyReader::Delivery delivery)
{
    if (!isConnected())
        return false;
    m_reader.expectReplyTo(line, delivery);
    if (line == "QUIT")
        m_quitSent = true;
    m_socket.write(line + "\r\n");
    // Hand the line to the system now: a QUIT followed by a close, or by the end of the
    // program, must still reach the server.
    m_socket.flush();
    return true;
}

void NntpConnection::close()
{
    m_closedByUs = true;
    m_socket.abort();
    m_reader.reset();
}

void NntpConnection::onReadyRead()
{
    const QByteArray bytes = m_socket.readAll();
    if (bytes.isEmpty() || m_closedByUs)
        return;
    m_reader.feed(bytes);
    Q_EMIT dataArrived(bytes.size());
}

void NntpConnection::onError(QAbstractSocket::SocketError error)
{
    // A peer that hangs up is a close, not an error; it is reported by onDisconnected.
    if (error == QAbstractSocket::RemoteHostClosedError || m_closedByUs)
        return;
    const QString description = m_socket.errorString();
    m_closedByUs = true;
    m_socket.abort();
    Q_EMIT socketError(description);
}

void NntpConnection::onDisconnected()
{
    if (m_closedByUs)
        return;
    m_closedByUs = true;
    Q_EMIT peerClosed();
}

} // namespace kestrel
