// NNTPS on the scan and download connections against the in-process server serving
// TLS, with certificates made by the openssl program for each test.
#include "circle/circle_fixture.h"
#include "nntp/test_certificates.h"

#include "base/ini_file.h"
#include "nntp/tls_policy.h"

namespace kestrel::test {
namespace {

struct TlsTest : CertificateTest {
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
    EXPECT_EQ(w.commands(1).value(0), "GROUP alt.binaries.pictures.test");
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

// A refused certificate ends the connection like a socket error, before a single command
// went out: one that fails verification, or another than the one pinned, which keeps its pin.
TEST_F(TlsTest, RefusedCertificateIsASocketError)
{
    ASSERT_TRUE(certs.authority());
    ASSERT_TRUE(certs.signedBy("other", "news.example.org", "DNS:news.example.org"));
    ASSERT_TRUE(certs.selfSigned("self", "localhost"));
    ASSERT_TRUE(certs.selfSigned("impostor", "localhost"));
    const QString self = certificateFingerprint(certs.certificate("self"));
    // A pin stands for pinning on (self-signed allowed); the authority is trusted throughout.
    const struct {
        const char *name, *cert;
        QString pin, reason;
    } cases[] = {
        {"another host's certificate", "other", "",
         "TLS: The host name did not match any of the valid hosts for this certificate"},
        {"self-signed, not allowed", "self", "", "TLS: The certificate is self-signed, and untrusted"},
        {"another than the pinned one", "impostor", self,
         pinMismatch(self, certificateFingerprint(certs.certificate("impostor")))},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        CircleWorld w;
        certs.serve(w.server, c.cert);
        useTls(w, !c.pin.isEmpty());
        w.ctx.settings.setText(u"SSL_Fingerprint", c.pin);
        w.ctx.settings.setChecked(u"chkAllowRestart", true);
        w.circle.connections().scan().socket().setExtraCaCertificates({certs.certificate("ca")});

        w.circle.connectScan();
        ASSERT_TRUE(waitUntil([&] { return w.logged("Emergency Reconnect in 90 seconds."); }, 8000));
        // The reason comes first, then the emergency path.
        const qsizetype reasonAt = w.log.indexOf(c.reason);
        EXPECT_GE(reasonAt, 0);
        EXPECT_LT(reasonAt, w.log.indexOf(QStringLiteral("Emergency Reconnect in 90 seconds.")));
        EXPECT_TRUE(w.circle.connections().scan().socket().isClosed());
        EXPECT_TRUE(w.ctx.state.rescanArmed);
        EXPECT_EQ(w.server.connectionsAccepted(), 0);
        EXPECT_EQ(w.ctx.settings.text(u"SSL_Fingerprint"), c.pin);
    }
}

// The stand-alone server with a self-signed certificate, as for a run by hand: the
// certificate is pinned at first sight, and trusted by its pin the next time.
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
    const QString fingerprint = certificateFingerprint(certs.certificate("self"));
    EXPECT_EQ(w.ctx.settings.text(u"SSL_Fingerprint"), fingerprint);
    EXPECT_EQ(IniFile(w.ctx.state.file("KESTREL.INI")).readText("Options", "SSL_Fingerprint"), fingerprint);
    EXPECT_TRUE(scanOnce(w));

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
