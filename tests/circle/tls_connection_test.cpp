// NNTPS on the scan and download connections against the in-process server serving
// TLS, with certificates made by the openssl program for each test.
#include "circle/circle_fixture.h"
#include "groups/group_world.h"

#include "base/ini_file.h"
#include "newsd/tls_listener.h"
#include "nntp/tls_policy.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>

namespace kestrel::test {
namespace {

// Certificates and keys written into a temporary folder by the openssl program.
class CertificateMaker {
public:
    bool usable() const { return m_dir.isValid() && !QStandardPaths::findExecutable("openssl").isEmpty(); }

    // A self-signed certificate for `name` (DNS) and 127.0.0.1.
    bool selfSigned(const QString &base, const QString &name)
    {
        return run({"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
                    "-days", "2", "-subj", "/CN=" + name, "-addext",
                    "subjectAltName=DNS:" + name + ",IP:127.0.0.1", "-keyout", path(base + ".key"), "-out",
                    path(base + ".pem")});
    }

    // A certificate authority, and a server certificate it signed for the names `san`.
    bool authority()
    {
        return run({"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
                    "-days", "2", "-subj", "/CN=Kestrel Test CA", "-addext",
                    "basicConstraints=critical,CA:TRUE", "-addext", "keyUsage=critical,keyCertSign,cRLSign",
                    "-keyout", path("ca.key"), "-out", path("ca.pem")});
    }
    bool signedBy(const QString &base, const QString &cn, const QString &san)
    {
        QFile ext(path(base + ".ext"));
        if (!ext.open(QIODevice::WriteOnly))
            return false;
        ext.write(("subjectAltName=" + san + "\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n")
                      .toUtf8());
        ext.close();
        return run({"req", "-new", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
                    "-subj", "/CN=" + cn, "-keyout", path(base + ".key"), "-out", path(base + ".csr")}) &&
               run({"x509", "-req", "-in", path(base + ".csr"), "-CA", path("ca.pem"), "-CAkey",
                    path("ca.key"), "-CAcreateserial", "-days", "2", "-extfile", path(base + ".ext"), "-out",
                    path(base + ".pem")});
    }

    QSslCertificate certificate(const QString &base) const
    {
        QFile f(path(base + ".pem"));
        return f.open(QIODevice::ReadOnly) ? QSslCertificate(f.readAll(), QSsl::Pem) : QSslCertificate();
    }

    // Makes the server present certificate `base`.
    bool serve(newsd::NewsServer &server, const QString &base) const
    {
        QSslCertificate cert;
        QSslKey key;
        const QString error = newsd::loadTlsFiles(path(base + ".pem"), path(base + ".key"), cert, key);
        EXPECT_TRUE(error.isEmpty()) << qPrintable(error);
        server.setTls(cert, key);
        return error.isEmpty();
    }

    QString path(const QString &name) const { return m_dir.filePath(name); }

private:
    bool run(const QStringList &args)
    {
        QProcess p;
        p.start(QStringLiteral("openssl"), args);
        const bool done = p.waitForFinished(20000);
        if (!done || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
            ADD_FAILURE() << "openssl " << qPrintable(args.join(' ')) << ": "
                          << p.readAllStandardError().constData();
            return false;
        }
        return true;
    }

    QTemporaryDir m_dir;
};

struct TlsTest : ::testing::Test {
    CertificateMaker certs;

    void SetUp() override
    {
        if (!QSslSocket::supportsSsl())
            GTEST_SKIP() << "no TLS backend";
        if (!certs.usable())
            GTEST_SKIP() << "no openssl program";
    }

    // Turns TLS on for the world's login settings.
    static void useTls(CircleWorld &w, bool allowSelfSigned)
    {
        w.ctx.settings.setChecked(u"chkSSL", true);
        w.ctx.settings.setChecked(u"chkSSLAllowSelfSigned", allowSelfSigned);
    }

    // One scan over the world's connection 1; true when it ended without an error.
    static bool scanOnce(CircleWorld &w)
    {
        w.circle.connectScan();
        EXPECT_TRUE(w.runUntilWait(8000));
        return !w.waits.empty() && !w.waits.back();
    }
};

// Both the scan connection and the download connection.
TEST_F(TlsTest, CertificateOfATrustedAuthorityCarriesScanAndDownload)
{
    ASSERT_TRUE(certs.authority());
    ASSERT_TRUE(certs.signedBy("server", "localhost", "DNS:localhost,IP:127.0.0.1"));
    CircleWorld w;
    certs.serve(w.server, "server");
    useTls(w, false);
    w.circle.connections().scan().socket().setExtraCaCertificates({certs.certificate("ca")});
    w.circle.connections().download().socket().setExtraCaCertificates({certs.certificate("ca")});

    EXPECT_TRUE(scanOnce(w));
    const QByteArrayList sent = w.commands(1);
    ASSERT_FALSE(sent.isEmpty());
    EXPECT_EQ(sent.front(), "GROUP alt.binaries.pictures.test");
    EXPECT_GT(w.pending.rowCount(), 0);
    // A trusted certificate is not pinned unless asked for.
    EXPECT_TRUE(w.ctx.settings.text(u"SSL_Fingerprint").isEmpty());

    w.pending.clear();
    w.addPending("alt.binaries.pictures.test", 3, "three.jpg");
    ASSERT_TRUE(waitUntil([&] { return w.server.openConnections() == 0; }, 5000)); // the QUIT is in
    w.server.clearTranscript();
    w.circle.downloadNext();
    ASSERT_TRUE(waitUntil([&] { return !w.sink.articles.empty(); }, 8000));
    const QByteArrayList fetched = w.commands();
    EXPECT_EQ(w.count(fetched, "ARTICLE ") + w.count(fetched, "BODY "), 1);
    EXPECT_EQ(w.server.failedHandshakes(), 0);
}

// A certificate that fails verification ends the connection like a socket error, before
// a single command went out.
TEST_F(TlsTest, CertificateThatFailsVerificationIsASocketError)
{
    ASSERT_TRUE(certs.authority());
    ASSERT_TRUE(certs.signedBy("other", "news.example.org", "DNS:news.example.org"));
    ASSERT_TRUE(certs.selfSigned("self", "localhost"));
    const struct {
        const char *name;
        const char *cert;
        bool trustCa;
        const char *reason;
    } cases[] = {
        {"another host's certificate", "other", true,
         "TLS: The host name did not match any of the valid hosts for this certificate"},
        {"self-signed, not allowed", "self", false, "TLS: The certificate is self-signed, and untrusted"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        CircleWorld w;
        certs.serve(w.server, c.cert);
        useTls(w, false);
        w.ctx.settings.setChecked(u"chkAllowRestart", true);
        if (c.trustCa)
            w.circle.connections().scan().socket().setExtraCaCertificates({certs.certificate("ca")});

        w.circle.connectScan();
        ASSERT_TRUE(waitUntil([&] { return w.logged("Emergency Reconnect in 90 seconds."); }, 8000));
        EXPECT_TRUE(w.logged(QString::fromLatin1(c.reason)));
        // The reason comes first, then the emergency path.
        const qsizetype reasonAt = w.log.indexOf(QString::fromLatin1(c.reason));
        EXPECT_GE(reasonAt, 0);
        EXPECT_LT(reasonAt, w.log.indexOf(QStringLiteral("Emergency Reconnect in 90 seconds.")));
        EXPECT_TRUE(w.circle.connections().scan().socket().isClosed());
        EXPECT_TRUE(w.ctx.state.rescanArmed);
        EXPECT_TRUE(w.server.transcript().isEmpty());
        EXPECT_EQ(w.server.connectionsAccepted(), 0);
        EXPECT_TRUE(w.ctx.settings.text(u"SSL_Fingerprint").isEmpty());
    }
}

TEST_F(TlsTest, SelfSignedCertificateIsPinnedAtFirstSightAndOnlyItIsTrustedLater)
{
    ASSERT_TRUE(certs.selfSigned("self", "localhost"));
    ASSERT_TRUE(certs.selfSigned("impostor", "localhost"));
    const QString fingerprint = certificateFingerprint(certs.certificate("self"));
    const QString impostor = certificateFingerprint(certs.certificate("impostor"));
    ASSERT_NE(fingerprint, impostor);
    CircleWorld w;
    certs.serve(w.server, "self");
    useTls(w, true);

    EXPECT_TRUE(scanOnce(w));
    EXPECT_EQ(w.count(w.commands(1), "GROUP "), 1);
    EXPECT_EQ(w.ctx.settings.text(u"SSL_Fingerprint"), fingerprint);
    EXPECT_EQ(IniFile(w.ctx.state.file("KESTREL.INI")).readText("Options", "SSL_Fingerprint"), fingerprint);

    // The same certificate again: accepted by its pin.
    EXPECT_TRUE(scanOnce(w));
    EXPECT_EQ(w.count(w.commands(), "GROUP "), 2);

    // Another certificate on the same server: refused, both fingerprints logged, the pin kept.
    certs.serve(w.server, "impostor");
    ASSERT_TRUE(waitUntil([&] { return w.server.openConnections() == 0; }, 5000)); // the last QUIT is in
    w.server.clearTranscript();
    w.log.clear();
    w.circle.connectScan();
    ASSERT_TRUE(w.runUntilWait(8000));
    EXPECT_TRUE(w.waits.back());
    bool bothNamed = false;
    for (const QString &line : std::as_const(w.log))
        bothNamed = bothNamed || (line.startsWith(QStringLiteral("TLS: ")) && line.contains(fingerprint) &&
                                  line.contains(impostor));
    EXPECT_TRUE(bothNamed);
    EXPECT_TRUE(w.server.transcript().isEmpty());
    EXPECT_EQ(w.ctx.settings.text(u"SSL_Fingerprint"), fingerprint);
}

// A pin overrules only "no authority vouches for it"; everything else still refuses.
TEST_F(TlsTest, PinExcusesOnlyTheLackOfAnAuthority)
{
    ASSERT_TRUE(certs.selfSigned("self", "localhost"));
    const QSslCertificate cert = certs.certificate("self");
    const QString fp = certificateFingerprint(cert);
    const auto error = [&](QSslError::SslError e) { return QSslError(e, cert); };
    const struct {
        const char *name;
        bool allowSelfSigned;
        QString pin;
        QList<QSslError> errors;
        QString refusal; // empty: accepted
    } cases[] = {
        {"trusted, no pinning", false, {}, {}, {}},
        {"self-signed, no pinning",
         false,
         {},
         {error(QSslError::SelfSignedCertificate)},
         "TLS: The certificate is self-signed, and untrusted"},
        {"self-signed, first sight", true, {}, {error(QSslError::SelfSignedCertificate)}, {}},
        {"self-signed, pinned", true, fp, {error(QSslError::SelfSignedCertificate)}, {}},
        {"unknown issuer, pinned", true, fp, {error(QSslError::UnableToGetLocalIssuerCertificate)}, {}},
        {"expired, pinned",
         true,
         fp,
         {error(QSslError::SelfSignedCertificate), error(QSslError::CertificateExpired)},
         "TLS: The certificate has expired"},
        {"wrong name, pinned",
         true,
         fp,
         {error(QSslError::HostNameMismatch)},
         "TLS: The host name did not match any of the valid hosts for this certificate"},
        {"another pin",
         true,
         QString(64, QLatin1Char('0')),
         {},
         pinMismatch(QString(64, QLatin1Char('0')), fp)},
        // A stale pin means nothing once pinning is off.
        {"another pin, pinning off", false, QString(64, QLatin1Char('0')), {}, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TlsPolicy p;
        p.enabled = true;
        p.allowSelfSigned = c.allowSelfSigned;
        p.pin = c.pin;
        EXPECT_EQ(tlsRefusal(p, cert, c.errors).value_or(QString()), c.refusal);
    }
}

// While the handshake is under way the connection is not "connected" and refuses to send.
TEST_F(TlsTest, NothingGoesOutBeforeTheHandshakeIsDone)
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
TEST_F(TlsTest, FirstPinWinsWhenTwoConnectionsRace)
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

// The group manager's connection follows the same settings: its list comes over TLS,
// and a refused certificate ends it before LIST.
TEST_F(TlsTest, GroupListConnectionPinsAndRefusesLikeTheOthers)
{
    ASSERT_TRUE(certs.selfSigned("self", "localhost"));
    ASSERT_TRUE(certs.selfSigned("impostor", "localhost"));
    GroupWorld w;
    certs.serve(w.server, "self");
    w.ctx.settings.setChecked(u"chkSSL", true);
    w.ctx.settings.setChecked(u"chkSSLAllowSelfSigned", true);

    w.manager.cmdGetHostGroupsClicked();
    ASSERT_TRUE(waitUntil(
        [&] { return w.manager.statusPanel(1).startsWith(QStringLiteral("HOSTGRPS.TXT ready")); }, 8000))
        << qPrintable(w.manager.statusPanel(0));
    EXPECT_EQ(w.folder.read(QStringLiteral("HOSTGRPS.TXT")), w.expectedList());
    EXPECT_EQ(w.ctx.settings.text(u"SSL_Fingerprint"), certificateFingerprint(certs.certificate("self")));

    certs.serve(w.server, "impostor");
    ASSERT_TRUE(waitUntil([&] { return w.server.openConnections() == 0; }, 5000)); // the QUIT is in
    w.server.clearTranscript();
    w.prompter.answers = {true}; // replace the file
    QStringList logged;
    QObject::connect(&w.ctx.log, &OperationsLog::logged,
                     [&](const QString &, const QString &message) { logged << message; });
    w.manager.cmdGetHostGroupsClicked();
    ASSERT_TRUE(w.waitForStatus(QStringLiteral("Error: TLS: "), 8000))
        << qPrintable(w.manager.statusPanel(0));
    EXPECT_TRUE(w.manager.statusPanel(0).contains(certificateFingerprint(certs.certificate("impostor"))));
    EXPECT_EQ(logged.filter(QStringLiteral("TLS: ")).size(), 1) << qPrintable(logged.join(u'\n'));
    EXPECT_TRUE(w.manager.listConnection().isClosed());
    EXPECT_TRUE(w.server.transcript().isEmpty());
}

// The stand-alone server with a self-signed certificate, as for a run by hand.
TEST_F(TlsTest, NewsdProgramServesNntpsWithItsCertificateFiles)
{
    ASSERT_TRUE(certs.selfSigned("self", "localhost"));
    QProcess refused;
    refused.start(QStringLiteral(NEWSD_PATH), {"--tls-cert", certs.path("self.pem")});
    ASSERT_TRUE(refused.waitForFinished(5000));
    EXPECT_EQ(refused.exitCode(), 2);

    QProcess newsd;
    newsd.start(QStringLiteral(NEWSD_PATH), {"--generate", "alt.binaries.pictures.test=20", "--tls-cert",
                                             certs.path("self.pem"), "--tls-key", certs.path("self.key")});
    ASSERT_TRUE(newsd.waitForStarted(5000));
    ASSERT_TRUE(newsd.waitForReadyRead(5000));
    bool ok = false;
    const quint16 port = newsd.readLine().trimmed().toUShort(&ok);
    ASSERT_TRUE(ok);

    CircleWorld w;
    w.ctx.settings.setText(u"txtPort", QString::number(port));
    useTls(w, true);
    EXPECT_TRUE(scanOnce(w));
    EXPECT_GT(w.pending.rowCount(), 0);
    EXPECT_EQ(w.ctx.settings.text(u"SSL_Fingerprint"), certificateFingerprint(certs.certificate("self")));

    newsd.terminate();
    ASSERT_TRUE(newsd.waitForFinished(5000));
    EXPECT_EQ(newsd.exitCode(), 0);
}

TEST(TlsPort, EmptyPortBoxStandsForTheDefaultOfTheProtocol)
{
    for (const bool tls : {false, true}) {
        SCOPED_TRACE(tls);
        CircleWorld w;
        w.ctx.settings.setChecked(u"chkSSL", tls);
        w.ctx.settings.setText(u"txtPort", QString());
        const int port = w.circle.connections().loginPort();
        EXPECT_EQ(port, tls ? 563 : 119);
        EXPECT_EQ(w.ctx.settings.text(u"txtPort"), tls ? QStringLiteral("563") : QStringLiteral("119"));
        w.ctx.settings.setText(u"txtPort", QStringLiteral("8563x"));
        EXPECT_EQ(w.circle.connections().loginPort(), 8563);
    }
}

} // namespace
} // namespace kestrel::test
