#include "groups/group_world.h"
#include "nntp/test_certificates.h"

#include "groups/list_numbers.h"
#include "nntp/nntp_connection.h"
#include "nntp/tls_policy.h"

#include <QFile>

#include <algorithm>

namespace kestrel::test {
namespace {

// The reply reader's own test covers every cut; here one download whose answer comes in
// many pieces, two of them cut inside the closing "\r\n.\r\n".
TEST(GroupListDownload, FileHoldsTheAnswerByteForByte)
{
    GroupWorld w(numberedGroups(3000));
    newsd::FaultPlan faults;
    faults.splitAt = {w.expectedList().size() - 4, w.expectedList().size() - 2};
    faults.randomSplits = 40;
    faults.splitPauseMs = 2;
    w.server.setFaults(faults);
    // A stale file from an earlier download is replaced, not appended to.
    w.folder.write(QStringLiteral("HOSTGRPS.TXT"), "old contents\r\n");
    w.prompter.answers = {true};

    w.manager.cmdGetHostGroupsClicked();
    ASSERT_TRUE(waitUntil(
        [&] { return w.manager.statusPanel(1).startsWith(QStringLiteral("HOSTGRPS.TXT ready")); }, 10000))
        << qPrintable(w.manager.statusPanel(0));

    const QByteArray expected = w.expectedList();
    EXPECT_EQ(w.folder.read(QStringLiteral("HOSTGRPS.TXT")), expected);
    EXPECT_EQ(w.manager.groupListBuffer(), expected);
    EXPECT_TRUE(w.manager.listConnection().isClosed());
    EXPECT_TRUE(w.log.contains(QStringLiteral("LIST")) && w.log.contains(QStringLiteral("QUIT")));
    EXPECT_EQ(w.log.count(QStringLiteral("Groups download complete: HOSTGRPS.TXT (") +
                          kbWhole(w.manager.groupBytesReceived()) + QStringLiteral(" Kb) Saved and ready.")),
              1);
    EXPECT_TRUE(w.manager.controls().cmdQR && w.manager.controls().txtQR);
    // The size shown counts what came before the block that ended the answer.
    EXPECT_LT(w.manager.groupBytesReceived(), expected.size());
}

// With chkAuth off the login starts only when the server answers LIST with 480.
class GroupListLogin : public ::testing::TestWithParam<bool> {};

TEST_P(GroupListLogin, LogsInWithThePasswordMaskedEverywhere)
{
    GroupWorld w;
    w.server.setCredentials("someone", "s3cret-pw");
    w.logIn("someone", "s3cret-pw", GetParam());
    w.ctx.settings.setChecked(u"chkSlave", true);
    w.ctx.settings.setChecked(u"chkEnableLogging", true);
    w.ctx.settings.setChecked(u"chkLogFile", true);

    w.manager.cmdGetHostGroupsClicked();
    ASSERT_TRUE(waitUntil([&] { return w.manager.controls().cmdGetHostGroups; }, 10000))
        << qPrintable(w.manager.statusPanel(0));
    EXPECT_EQ(w.folder.read(QStringLiteral("HOSTGRPS.TXT")), w.expectedList());

    EXPECT_TRUE(w.server.commands().contains("AUTHINFO PASS s3cret-pw"));
    EXPECT_TRUE(w.server.commands().contains("SLAVE"));
    for (const char *line : {"AUTHINFO USER someone", "AUTHINFO PASS ********", "Requesting slave status"})
        EXPECT_TRUE(w.log.contains(QLatin1String(line))) << line;
    EXPECT_TRUE(w.log.filter(QStringLiteral("s3cret")).isEmpty()) << qPrintable(w.log.join(u'\n'));
    const QByteArray opslog = w.folder.read(QStringLiteral("OPSLOG.TXT"));
    EXPECT_TRUE(opslog.contains("AUTHINFO PASS") && !opslog.contains("s3cret"));
}

INSTANTIATE_TEST_SUITE_P(AuthSetting, GroupListLogin, ::testing::Bool());

struct FailureCase {
    const char *label;
    int greetingCode; // 200 unless the server turns the client away
    QList<newsd::ForcedReply> forced;
    bool dropAfterGreeting;
    const char *status; // what panel 1 starts with afterwards
    bool retrieveEnabled;
    const char *reached; // the last command the server saw, or what the log shows
};

class GroupListFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(GroupListFailure, ConnectionEndsAndNoListIsClaimed)
{
    const FailureCase &c = GetParam();
    GroupWorld w;
    newsd::FaultPlan faults;
    faults.greetingCode = c.greetingCode;
    faults.forcedReplies = c.forced;
    w.server.setFaults(faults);
    if (QByteArray(c.label) == "authRefused") {
        w.server.setCredentials("someone", "right");
        w.logIn("someone", "wrong", true);
    }
    if (c.dropAfterGreeting)
        QObject::connect(&w.server, &newsd::NewsServer::commandReceived, &w.server,
                         [&w](int, const QByteArray &line) {
                             if (line == "LIST")
                                 w.server.dropConnections();
                         });

    w.manager.cmdGetHostGroupsClicked();
    ASSERT_TRUE(waitUntil(
        [&] { return w.manager.listConnection().isClosed() && w.server.connectionsAccepted() > 0; }, 5000));
    if (*c.status) {
        EXPECT_TRUE(w.waitForStatus(QString::fromLatin1(c.status))) << qPrintable(w.manager.statusPanel(0));
    }
    EXPECT_FALSE(w.manager.statusPanel(0).startsWith(QStringLiteral("Download complete")));
    EXPECT_EQ(w.manager.controls().cmdGetHostGroups, c.retrieveEnabled);
    EXPECT_FALSE(w.manager.controls().cmdQR);
    const QByteArrayList commands = w.server.commands();
    EXPECT_TRUE((!commands.isEmpty() && commands.back().startsWith(c.reached)) ||
                !w.log.filter(QString::fromLatin1(c.reached)).isEmpty())
        << c.reached;
    const bool refusedBox = std::count(w.prompter.said.begin(), w.prompter.said.end(),
                                       QStringLiteral("Authentication Error.  Check Username/Password..."));
    EXPECT_EQ(refusedBox, QByteArray(c.label) == "refusedList");
    const QByteArray file = w.folder.read(QStringLiteral("HOSTGRPS.TXT"));
    EXPECT_FALSE(file.endsWith("\r\n.\r\n") || file.startsWith('4') || file.startsWith('5'))
        << "an error reply is not a list";
}

INSTANTIATE_TEST_SUITE_P(
    Faults, GroupListFailure,
    ::testing::Values(FailureCase{"authRefused", 200, {}, false, "", true, "AUTHINFO PASS"},
                      FailureCase{"refusedList", 200, {{"LIST", 502, -1}}, false, "", true, "LIST"},
                      FailureCase{
                          "serviceGoingAway", 200, {{"LIST", 421, -1}}, false, "Error: 421", true, "LIST"},
                      FailureCase{"greeting400", 400, {}, false, "Error: 400", true, "400"},
                      FailureCase{"droppedConnection", 200, {}, true, "Error: ", false, "LIST"}),
    [](const auto &info) { return std::string(info.param.label); });

TEST(GroupListRetrieve, NoHostAsksForOneAndDeclinedDeleteKeepsTheFile)
{
    GroupWorld w;
    w.folder.write(QStringLiteral("HOSTGRPS.TXT"), "215 x\r\nkeep 1 1 y\r\n.\r\n");
    w.prompter.answers = {false};
    w.manager.cmdGetHostGroupsClicked();
    EXPECT_EQ(w.folder.read(QStringLiteral("HOSTGRPS.TXT")), QByteArray("215 x\r\nkeep 1 1 y\r\n.\r\n"));
    EXPECT_TRUE(w.manager.controls().cmdGetHostGroups);

    w.ctx.settings.setText(u"txtHost", QString());
    w.ctx.settings.setText(u"txtPort", QString());
    w.prompter.answers = {true};
    w.manager.cmdGetHostGroupsClicked();
    EXPECT_FALSE(w.folder.exists(QStringLiteral("HOSTGRPS.TXT")));
    EXPECT_TRUE(w.prompter.said.back().startsWith(QStringLiteral("Enter News Server name")));
    EXPECT_EQ(w.ctx.settings.text(u"txtPort"), QStringLiteral("119"));
    EXPECT_TRUE(w.manager.listConnection().isClosed());
    EXPECT_EQ(w.server.connectionsAccepted(), 0);
}

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
