#include "tls_listener.h"

#include <QFile>
#include <QSslSocket>

namespace kestrel::newsd {

void TlsListener::setTls(const QSslCertificate &certificate, const QSslKey &key)
{
    m_certificate = certificate;
    m_key = key;
}

void TlsListener::incomingConnection(qintptr descriptor)
{
    if (!tlsEnabled()) {
        QTcpServer::incomingConnection(descriptor);
        return;
    }
    auto *socket = new QSslSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        return;
    }
    socket->setLocalCertificate(m_certificate);
    socket->setPrivateKey(m_key);
    socket->setPeerVerifyMode(QSslSocket::VerifyNone);
    connect(socket, &QSslSocket::encrypted, this, [this, socket] {
        socket->disconnect(this);
        addPendingConnection(socket);
        Q_EMIT newConnection();
    });
    const auto drop = [this, socket] {
        socket->disconnect(this);
        ++m_failedHandshakes;
        Q_EMIT handshakeFailed(socket->errorString());
        socket->deleteLater();
    };
    connect(socket, &QAbstractSocket::errorOccurred, this, drop);
    connect(socket, &QAbstractSocket::disconnected, this, drop);
    socket->startServerEncryption();
}

QString loadTlsFiles(const QString &certFile, const QString &keyFile, QSslCertificate &certificate,
                     QSslKey &key)
{
    QFile cert(certFile);
    if (!cert.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot read %1: %2").arg(certFile, cert.errorString());
    const QList<QSslCertificate> certs = QSslCertificate::fromData(cert.readAll(), QSsl::Pem);
    if (certs.isEmpty())
        return QStringLiteral("no PEM certificate in %1").arg(certFile);
    QFile keyIn(keyFile);
    if (!keyIn.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot read %1: %2").arg(keyFile, keyIn.errorString());
    const QByteArray pem = keyIn.readAll();
    for (QSsl::KeyAlgorithm algorithm : {QSsl::Rsa, QSsl::Ec}) {
        QSslKey candidate(pem, algorithm, QSsl::Pem);
        if (!candidate.isNull()) {
            certificate = certs.first();
            key = candidate;
            return {};
        }
    }
    return QStringLiteral("no unencrypted RSA or EC private key in %1").arg(keyFile);
}

} // namespace kestrel::newsd
