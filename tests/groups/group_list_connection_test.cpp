// The group manager's own connection: TLS under the common settings, and the lines it
// sends through the login routines.
#include "groups/group_world.h"
#include "nntp/test_certificates.h"

#include "nntp/nntp_connection.h"
#include "nntp/tls_policy.h"

namespace kestrel::test {
namespace {

using GroupListTls = CertificateTest;

// The group manager's connection follows the same settings: its list comes over TLS,
// and a refused certificate ends it before LIST.
TEST_F(GroupListTls, PinsAndRefusesLikeTheOtherConnections)
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
    w.log.clear();
    w.manager.cmdGetHostGroupsClicked();
    ASSERT_TRUE(w.waitForStatus(QStringLiteral("Error: TLS: "), 8000))
        << qPrintable(w.manager.statusPanel(0));
    EXPECT_TRUE(w.manager.statusPanel(0).contains(certificateFingerprint(certs.certificate("impostor"))));
    EXPECT_EQ(w.log.filter(QStringLiteral("TLS: ")).size(), 1) << qPrintable(w.log.join(u'\n'));
    EXPECT_TRUE(w.manager.listConnection().isClosed());
    EXPECT_TRUE(w.server.transcript().isEmpty());
}

// The group-list connection logs every line it sends, the login lines with their values;
// the login routines serve it through its own port.
TEST(GroupListConnection, LogsWhatItSends)
{
    GroupWorld w;
    NntpConnection listConnection(ConnectionRole::GroupList);
    struct Port : LoginPort {
        Context &ctx;
        NntpConnection &c;
        int missing = 0;
        Port(Context &x, NntpConnection &cc) : ctx(x), c(cc) {}
        void sendLoginLine(const QByteArray &line) override { sendGroupList(ctx, c, line); }
        void userNameMissing() override { ++missing; }
        void passwordMissing() override { ++missing; }
        void loginComplete() override {}
    } port(w.ctx, listConnection);
    w.login.setPort(ConnectionRole::GroupList, &port);
    w.ctx.settings.setText(u"txtUserName", QStringLiteral("u"));
    w.ctx.settings.setText(u"txtPassword", QStringLiteral("p"));

    EXPECT_FALSE(sendGroupList(w.ctx, listConnection, "LIST"));
    EXPECT_TRUE(w.log.isEmpty());
    listConnection.open(QStringLiteral("127.0.0.1"), w.server.port());
    ASSERT_TRUE(waitUntil([&] { return listConnection.isConnected(); }));
    w.login.sendAuthUser(ConnectionRole::GroupList);
    w.login.sendAuthPass(ConnectionRole::GroupList);
    EXPECT_TRUE(sendGroupList(w.ctx, listConnection, "LIST"));
    EXPECT_EQ(w.log, (QStringList{"Authenticating User Name...", "AUTHINFO USER u",
                                  "Authenticating Password...", "AUTHINFO PASS p", "LIST"}));
    ASSERT_TRUE(waitUntil([&] { return w.server.transcript().size() == 3; }));
    QByteArrayList sent;
    for (const auto &e : w.server.transcript())
        sent.append(e.line);
    EXPECT_EQ(sent, (QByteArrayList{"AUTHINFO USER u", "AUTHINFO PASS p", "LIST"}));
    w.ctx.settings.setText(u"txtUserName", QString());
    w.login.sendAuthUser(ConnectionRole::GroupList);
    EXPECT_EQ(port.missing, 1);
}

} // namespace
} // namespace kestrel::test
