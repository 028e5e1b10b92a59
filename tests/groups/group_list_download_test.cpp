#include "groups/group_world.h"

#include "groups/list_numbers.h"

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
    EXPECT_TRUE(w.log.contains(QStringLiteral("LIST")));
    EXPECT_TRUE(w.log.contains(QStringLiteral("QUIT")));
    const QString done = QStringLiteral("Groups download complete: HOSTGRPS.TXT (") +
                         kbWhole(w.manager.groupBytesReceived()) + QStringLiteral(" Kb) Saved and ready.");
    EXPECT_EQ(w.log.count(done), 1);
    EXPECT_TRUE(w.manager.controls().cmdQR);
    EXPECT_TRUE(w.manager.controls().txtQR);
    // The size shown counts what came before the block that ended the answer.
    EXPECT_LT(w.manager.groupBytesReceived(), expected.size());
}

// With chkAuth off the login starts only when the server answers LIST with 480.
class GroupListLogin : public ::testing::TestWithParam<bool> {};

TEST_P(GroupListLogin, LogsInWithThePasswordMaskedEverywhere)
{
    GroupWorld w;
    w.server.setCredentials("someone", "s3cret-pw");
    w.ctx.settings.setChecked(u"chkAuth", GetParam());
    w.ctx.settings.setChecked(u"chkSlave", true);
    w.ctx.settings.setText(u"txtUserName", QStringLiteral("someone"));
    w.ctx.settings.setText(u"txtPassword", QStringLiteral("s3cret-pw"));
    w.ctx.settings.setChecked(u"chkEnableLogging", true);
    w.ctx.settings.setChecked(u"chkLogFile", true);

    w.manager.cmdGetHostGroupsClicked();
    ASSERT_TRUE(waitUntil([&] { return w.manager.controls().cmdGetHostGroups; }, 10000))
        << qPrintable(w.manager.statusPanel(0));
    EXPECT_EQ(w.folder.read(QStringLiteral("HOSTGRPS.TXT")), w.expectedList());

    const QByteArrayList commands = w.server.commands();
    EXPECT_TRUE(commands.contains("AUTHINFO PASS s3cret-pw"));
    EXPECT_TRUE(commands.contains("SLAVE"));
    EXPECT_TRUE(w.log.contains(QStringLiteral("AUTHINFO USER someone")));
    EXPECT_TRUE(w.log.contains(QStringLiteral("AUTHINFO PASS ********")));
    EXPECT_TRUE(w.log.contains(QStringLiteral("Requesting slave status")));
    for (const QString &line : w.log)
        EXPECT_FALSE(line.contains(QStringLiteral("s3cret"))) << qPrintable(line);
    const QByteArray opslog = w.folder.read(QStringLiteral("OPSLOG.TXT"));
    EXPECT_TRUE(opslog.contains("AUTHINFO PASS"));
    EXPECT_FALSE(opslog.contains("s3cret"));
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
        w.ctx.settings.setChecked(u"chkAuth", true);
        w.ctx.settings.setText(u"txtUserName", QStringLiteral("someone"));
        w.ctx.settings.setText(u"txtPassword", QStringLiteral("wrong"));
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
    if (QByteArray(c.status).size() > 0) {
        EXPECT_TRUE(w.waitForStatus(QString::fromLatin1(c.status))) << qPrintable(w.manager.statusPanel(0));
    }
    EXPECT_FALSE(w.manager.statusPanel(0).startsWith(QStringLiteral("Download complete")));
    EXPECT_EQ(w.manager.controls().cmdGetHostGroups, c.retrieveEnabled);
    EXPECT_FALSE(w.manager.controls().cmdQR);
    const QByteArray reached(c.reached);
    const QByteArrayList commands = w.server.commands();
    const bool seen = (!commands.isEmpty() && commands.back().startsWith(reached)) ||
                      w.log.filter(QString::fromLatin1(reached)).size() > 0;
    EXPECT_TRUE(seen) << c.reached;
    const bool refusedBox = std::find(w.prompter.said.begin(), w.prompter.said.end(),
                                      QStringLiteral("Authentication Error.  Check Username/Password...")) !=
                            w.prompter.said.end();
    EXPECT_EQ(refusedBox, QByteArray(c.label) == "refusedList");
    const QByteArray file = w.folder.read(QStringLiteral("HOSTGRPS.TXT"));
    EXPECT_FALSE(file.endsWith("\r\n.\r\n"));
    EXPECT_FALSE(file.startsWith("4")) << "an error reply is not a list";
    EXPECT_FALSE(file.startsWith("5")) << "an error reply is not a list";
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

} // namespace
} // namespace kestrel::test
