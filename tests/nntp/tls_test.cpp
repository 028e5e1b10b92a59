// TLS on one NNTP connection: what the policy accepts, when the first line may go out,
// and which certificate is pinned when two connections race.
#include "nntp/test_certificates.h"

#include "base/context.h"
#include "newsd/sample_store.h"
#include "nntp/nntp_connection.h"
#include "nntp/tls_policy.h"
#include "support/temp_program_folder.h"
#include "support/wait.h"

#include <QTcpServer>

#include <memory>

namespace kestrel::test {
namespace {

using NntpTls = CertificateTest;

// A pin overrules only "no authority vouches for it"; everything else still refuses.
TEST_F(NntpTls, PinExcusesOnlyTheLackOfAnAuthority)
{
    ASSERT_TRUE(certs.selfSigned("self", "localhost"));
    const QSslCertificate cert = certs.certificate("self");
    const QString fp = certificateFingerprint(cert);
    const QString otherPin(64, QLatin1Char('0'));
    using E = QSslError;
    const struct {
        const char *name;
        bool allowSelfSigned;
        QString pin;
        E::SslError error, also; // NoError: none
        QString refusal;         // empty: accepted
    } cases[] = {
        {"trusted, no pinning", false, "", E::NoError, E::NoError, ""},
        {"self-signed, no pinning", false, "", E::SelfSignedCertificate, E::NoError,
         "TLS: The certificate is self-signed, and untrusted"},
        {"self-signed, first sight", true, "", E::SelfSignedCertificate, E::NoError, ""},
        {"self-signed, pinned", true, fp, E::SelfSignedCertificate, E::NoError, ""},
        {"unknown issuer, pinned", true, fp, E::UnableToGetLocalIssuerCertificate, E::NoError, ""},
        {"expired, pinned", true, fp, E::SelfSignedCertificate, E::CertificateExpired,
         "TLS: The certificate has expired"},
        {"wrong name, pinned", true, fp, E::HostNameMismatch, E::NoError,
         "TLS: The host name did not match any of the valid hosts for this certificate"},
        {"another pin", true, otherPin, E::NoError, E::NoError, pinMismatch(otherPin, fp)},
        // A stale pin means nothing once pinning is off.
        {"another pin, pinning off", false, otherPin, E::NoError, E::NoError, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TlsPolicy p;
        p.enabled = true;
        p.allowSelfSigned = c.allowSelfSigned;
        p.pin = c.pin;
        QList<QSslError> errors;
        for (const E::SslError e : {c.error, c.also})
            if (e != E::NoError)
                errors.append(QSslError(e, cert));
        EXPECT_EQ(tlsRefusal(p, cert, errors).value_or(QString()), c.refusal);
    }
}

// While the handshake is under way the connection is not "connected" and refuses to send.
TEST_F(NntpTls, NothingGoesOutBeforeTheHandshakeIsDone)
{
    QTcpServer silent; // takes the connection and never answers the client's hello
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    QTcpSocket *peer = nullptr;
    QByteArray received;
    QObject::connect(&silent, &QTcpServer::newConnection, [&] {
        peer = silent.nextPendingConnection();
        QObject::connect(peer, &QTcpSocket::readyRead, [&] { received += peer->readAll(); });
    });
    NntpConnection c(ConnectionRole::Scan);
    TlsPolicy tls;
    tls.enabled = true;
    c.open(QStringLiteral("127.0.0.1"), silent.serverPort(), tls);
    ASSERT_TRUE(waitUntil([&] { return !received.isEmpty(); }, 5000)); // the client's hello
    EXPECT_EQ(c.state(), QAbstractSocket::ConnectingState);
    EXPECT_FALSE(c.isConnected());
    EXPECT_FALSE(c.sendLine("GROUP alt.binaries.pictures.test"));
    waitUntil([] { return false; }, 100);
    EXPECT_FALSE(received.contains("GROUP"));
    c.close();
    EXPECT_TRUE(c.isClosed());

    // The same connection opened without TLS afterwards is plain from the first byte.
    received.clear();
    c.open(QStringLiteral("127.0.0.1"), silent.serverPort());
    ASSERT_TRUE(waitUntil([&] { return c.isConnected(); }, 5000));
    EXPECT_TRUE(c.sendLine("GROUP alt.binaries.pictures.test"));
    ASSERT_TRUE(waitUntil([&] { return received.contains("GROUP"); }, 5000));
    EXPECT_EQ(received, "GROUP alt.binaries.pictures.test\r\n");
    EXPECT_FALSE(c.isEncrypted());
}

// Two connections that both find nothing pinned yet: the first certificate through is
// pinned, and the other connection, seeing a different one, is refused all the same.
TEST_F(NntpTls, FirstPinWinsWhenTwoConnectionsRace)
{
    ASSERT_TRUE(certs.selfSigned("a", "localhost"));
    ASSERT_TRUE(certs.selfSigned("b", "localhost"));
    TempProgramFolder folder;
    Context ctx(folder.path());
    ctx.settings.setChecked(u"chkSSL", true);
    ctx.settings.setChecked(u"chkSSLAllowSelfSigned", true);
    const auto store = std::make_shared<newsd::SampleStore>(QList<newsd::SampleGroup>{{"alt.x", 1, 5, 0}});
    newsd::NewsServer serverA(store), serverB(store);
    certs.serve(serverA, "a");
    certs.serve(serverB, "b");
    ASSERT_TRUE(serverA.listen());
    ASSERT_TRUE(serverB.listen());
    NntpConnection first(ConnectionRole::Scan), second(ConnectionRole::Download);
    QStringList errors;
    for (NntpConnection *c : {&first, &second})
        QObject::connect(c, &NntpConnection::socketError, [&](const QString &d) { errors.append(d); });
    first.open(QStringLiteral("127.0.0.1"), serverA.port(), tlsPolicy(ctx));
    second.open(QStringLiteral("127.0.0.1"), serverB.port(), tlsPolicy(ctx));

    ASSERT_TRUE(
        waitUntil([&] { return errors.size() == 1 && (first.isConnected() || second.isConnected()); }));
    const bool firstWon = first.isConnected();
    EXPECT_NE(firstWon, second.isConnected());
    const QString winner = certificateFingerprint(certs.certificate(firstWon ? "a" : "b"));
    const QString loser = certificateFingerprint(certs.certificate(firstWon ? "b" : "a"));
    EXPECT_EQ(ctx.settings.text(u"SSL_Fingerprint"), winner);
    EXPECT_EQ(errors.front(), pinMismatch(winner, loser));
}

} // namespace
} // namespace kestrel::test
