#pragma once

#include "nntp/connection_role.h"
#include "nntp/reply_reader.h"
#include "nntp/tls_policy.h"

#include <QObject>
#include <QSslSocket>
#include <QString>

namespace kestrel {

// One client connection to the news server: the socket, the reply framing and the
// socket state of the status texts. Commands go out one line at a time, and each
// one tells the reader what shape of reply to wait for, so replies come out whole
// whatever the TCP segmentation.
//
// With TLS the connection counts as connected only once the handshake is done and the
// certificate accepted, so no command can go out before; a refused certificate is a
// socket error whose description says why.
class NntpConnection : public QObject {
    Q_OBJECT
public:
    explicit NntpConnection(ConnectionRole role, QObject *parent = nullptr);
    ~NntpConnection() override;

    ConnectionRole role() const { return m_role; }
    // The socket's state, except that a TLS connection still shaking hands is
    // ConnectingState: nothing may be sent before the certificate is accepted.
    QAbstractSocket::SocketState state() const;
    bool isConnected() const { return state() == QAbstractSocket::ConnectedState; }
    bool isClosed() const { return state() == QAbstractSocket::UnconnectedState; }

    // Starts an asynchronous connect with a fresh reader, encrypted when tls.enabled.
    void open(const QString &host, quint16 port, const TlsPolicy &tls = {});
    // Sends line + CR LF when connected; false (and nothing sent) otherwise.
    bool sendLine(const QByteArray &line, ReplyReader::Delivery delivery = ReplyReader::Delivery::WholeBlock);
    // Closes at once; buffered replies are forgotten and no close event follows.
    void close();

    // "QUIT" went out since the connection was opened.
    bool quitSent() const { return m_quitSent; }
    ReplyReader &reader() { return m_reader; }

    // Authorities trusted besides the system's, for every later TLS connect (a private
    // CA of a test or an in-house server).
    void setExtraCaCertificates(const QList<QSslCertificate> &certificates) { m_extraCa = certificates; }
    bool isEncrypted() const { return m_socket.isEncrypted(); }

Q_SIGNALS:
    // Bytes were fed to the reader; take the replies with reader().next().
    void dataArrived(qsizetype bytes);
    void socketError(const QString &description);
    // The server closed the connection (not after our own close()).
    void peerClosed();

private:
    void onReadyRead();
    void onError(QAbstractSocket::SocketError error);
    void onDisconnected();
    void onSslErrors(const QList<QSslError> &errors);
    void onEncrypted();
    void fail(const QString &description);

    const ConnectionRole m_role;
    QSslSocket m_socket;
    ReplyReader m_reader;
    TlsPolicy m_tls;
    QList<QSslCertificate> m_extraCa;
    QString m_tlsRefusal; // why the certificate was refused, for the error that follows
    bool m_closedByUs = true;
    bool m_quitSent = false;
};

} // namespace kestrel
