#pragma once

#include <QSslCertificate>
#include <QSslKey>
#include <QTcpServer>

namespace kestrel::newsd {

// The server's listening socket. Without a certificate it hands out plain sockets;
// with one, every accepted socket is a QSslSocket that shakes hands as the server and
// is handed out only once encrypted, so a session never talks before the handshake.
// A client that refuses the certificate is dropped without ever being handed out.
class TlsListener : public QTcpServer {
    Q_OBJECT
public:
    explicit TlsListener(QObject *parent = nullptr) : QTcpServer(parent) {}

    void setTls(const QSslCertificate &certificate, const QSslKey &key);
    bool tlsEnabled() const { return !m_certificate.isNull(); }
    // Handshakes that failed so far.
    int failedHandshakes() const { return m_failedHandshakes; }

Q_SIGNALS:
    void handshakeFailed(const QString &reason);

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    QSslCertificate m_certificate;
    QSslKey m_key;
    int m_failedHandshakes = 0;
};

// Reads a PEM certificate and its PEM private key (RSA or EC, unencrypted). Returns an
// error text, empty on success.
QString loadTlsFiles(const QString &certFile, const QString &keyFile, QSslCertificate &certificate,
                     QSslKey &key);

} // namespace kestrel::newsd
