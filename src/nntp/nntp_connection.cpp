#include "nntp/nntp_connection.h"

#include <QSslConfiguration>

namespace kestrel {

NntpConnection::NntpConnection(ConnectionRole role, QObject *parent) : QObject(parent), m_role(role)
{
    connect(&m_socket, &QTcpSocket::readyRead, this, &NntpConnection::onReadyRead);
    connect(&m_socket, &QTcpSocket::errorOccurred, this, &NntpConnection::onError);
    connect(&m_socket, &QTcpSocket::disconnected, this, &NntpConnection::onDisconnected);
    connect(&m_socket, &QSslSocket::sslErrors, this, &NntpConnection::onSslErrors);
    connect(&m_socket, &QSslSocket::encrypted, this, &NntpConnection::onEncrypted);
    // Commands are short lines, often sent while earlier ones are still unanswered; with
    // Nagle's algorithm each would wait for the previous one's acknowledgement, a whole
    // round trip on a distant server.
    connect(&m_socket, &QTcpSocket::connected, this,
            [this] { m_socket.setSocketOption(QAbstractSocket::LowDelayOption, 1); });
}

NntpConnection::~NntpConnection()
{
    // Closing the socket while it is taken apart must not reach the owner's handlers.
    m_socket.disconnect(this);
    m_socket.abort();
}

QAbstractSocket::SocketState NntpConnection::state() const
{
    const QAbstractSocket::SocketState s = m_socket.state();
    if (s == QAbstractSocket::ConnectedState && m_tls.enabled && !m_socket.isEncrypted())
        return QAbstractSocket::ConnectingState;
    return s;
}

void NntpConnection::open(const QString &host, quint16 port, const TlsPolicy &tls)
{
    m_reader.reset();
    m_closedByUs = false;
    m_quitSent = false;
    m_tls = tls;
    m_tlsRefusal.clear();
    if (!m_tls.enabled) {
        m_socket.connectToHost(host, port);
        return;
    }
    if (!QSslSocket::supportsSsl()) {
        // Reported from the event loop like any connect failure, after the caller's
        // own "Connecting..." steps.
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (!m_closedByUs)
                    fail(QStringLiteral("TLS: this system offers no TLS support"));
            },
            Qt::QueuedConnection);
        return;
    }
    QSslConfiguration conf = QSslConfiguration::defaultConfiguration();
    conf.setPeerVerifyMode(QSslSocket::VerifyPeer);
    if (!m_extraCa.isEmpty())
        conf.addCaCertificates(m_extraCa);
    m_socket.setSslConfiguration(conf);
    m_socket.connectToHostEncrypted(host, port);
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
    if (m_closedByUs) {
        m_socket.skip(m_socket.bytesAvailable());
        return;
    }
    const qint64 bytes = m_reader.readFrom(m_socket);
    if (bytes <= 0)
        return;
    Q_EMIT dataArrived(qsizetype(bytes));
}

void NntpConnection::onError(QAbstractSocket::SocketError error)
{
    // A peer that hangs up is a close, not an error; it is reported by onDisconnected.
    if (error == QAbstractSocket::RemoteHostClosedError || m_closedByUs)
        return;
    QString description = m_socket.errorString();
    if (!m_tlsRefusal.isEmpty())
        description = m_tlsRefusal;
    else if (m_tls.enabled && !m_socket.isEncrypted() && error == QAbstractSocket::SslHandshakeFailedError)
        description = QStringLiteral("TLS: ") + description;
    fail(description);
}

void NntpConnection::fail(const QString &description)
{
    m_closedByUs = true;
    m_socket.abort();
    m_reader.reset();
    Q_EMIT socketError(description);
}

void NntpConnection::onSslErrors(const QList<QSslError> &errors)
{
    const std::optional<QString> refusal = tlsRefusal(m_tls, m_socket.peerCertificate(), errors);
    if (refusal)
        m_tlsRefusal = *refusal; // the handshake fails next, with an error event
    else
        m_socket.ignoreSslErrors(errors);
}

void NntpConnection::onEncrypted()
{
    if (m_closedByUs)
        return;
    // A certificate the system trusts raises no errors, so the pin is checked here too.
    const QSslCertificate peer = m_socket.peerCertificate();
    if (const std::optional<QString> refusal = tlsRefusal(m_tls, peer, {})) {
        fail(*refusal);
        return;
    }
    if (m_tls.allowSelfSigned && m_tls.pin.isEmpty()) {
        const QString seen = certificateFingerprint(peer);
        m_tls.pin = m_tls.recordPin ? m_tls.recordPin(seen) : seen;
        if (m_tls.pin != seen)
            fail(pinMismatch(m_tls.pin, seen));
    }
}

void NntpConnection::onDisconnected()
{
    if (m_closedByUs)
        return;
    m_closedByUs = true;
    Q_EMIT peerClosed();
}

} // namespace kestrel
