#include "circle/circle_fixture.h"

namespace kestrel::test {
namespace {

struct LoginCase {
    const char *name;
    bool chkAuth, chkSlave, serverWantsLogin;
    QString user, password;
    QByteArray commands; // on the scan connection from the start, separated by |
    QString message;     // the message box, if any; an error when there is one
};

TEST(Login, ScanConnectionSequences)
{
    const QByteArray g = "GROUP alt.binaries.pictures.test";
    const QString badLogin = QStringLiteral("Authentication Error.  Check Username/Password...");
    const LoginCase cases[] = {
        {"no login, no slave", false, false, false, "u", "p", g, ""},
        {"login and slave", true, true, true, " u ", "p", "AUTHINFO USER  u |AUTHINFO PASS p|SLAVE|" + g, ""},
        {"slave only", false, true, false, "u", "p", "SLAVE|" + g, ""},
        {"480 after GROUP", false, false, true, "u", "p", g + "|AUTHINFO USER u|AUTHINFO PASS p|" + g, ""},
        {"480 after GROUP, wrong password", false, false, true, "u", "wrong",
         g + "|AUTHINFO USER u|AUTHINFO PASS wrong", badLogin},
        {"empty user name", false, false, true, "", "p", g + "|QUIT",
         "Error, server wanted username, but you have not supplied it."},
        {"empty password", true, false, true, "u", "", "AUTHINFO USER u|QUIT",
         "Error, server wanted password, but you have not supplied it."},
        {"wrong password", true, false, true, "u", "wrong", "AUTHINFO USER u|AUTHINFO PASS wrong", badLogin},
    };
    for (const LoginCase &c : cases) {
        SCOPED_TRACE(c.name);
        CircleWorld w;
        if (c.serverWantsLogin)
            w.server.setCredentials(c.user.trimmed().toUtf8(), "p");
        w.ctx.settings.setChecked(u"chkAuth", c.chkAuth);
        w.ctx.settings.setChecked(u"chkSlave", c.chkSlave);
        w.ctx.settings.setText(u"txtUserName", c.user);
        w.ctx.settings.setText(u"txtPassword", c.password);
        QSignalSpy loginWanted(&w.circle, &Circle::loginWindowWanted);
        ASSERT_TRUE(w.scanRun(3000));
        EXPECT_EQ(w.waits.back(), !c.message.isEmpty());
        const QByteArrayList commands = c.commands.split('|');
        ASSERT_TRUE(waitUntil([&] { return w.commands(1).size() >= commands.size(); }, 2000));
        EXPECT_EQ(w.commands(1).mid(0, commands.size()), commands);
        EXPECT_EQ(w.prompter.said.empty() ? QString() : w.prompter.said.back(), c.message);
        EXPECT_EQ(loginWanted.size(), c.password.isEmpty() ? 1 : 0);
        EXPECT_FALSE(w.ctx.state.scanning);
        EXPECT_TRUE(w.ctx.display.scanEnabled());
        // The log names the steps, never the secrets.
        EXPECT_FALSE(w.logged(QStringLiteral("AUTHINFO")));
        EXPECT_EQ(w.logged(QStringLiteral("Authenticating User Name...")), c.chkAuth || c.serverWantsLogin);
    }
}

// A refusal on the download connection ends the run without a message box; the
// article in hand stays queued.
TEST(Login, RefusalOnTheDownloadConnection)
{
    CircleWorld w;
    w.server.setCredentials("u", "p");
    w.ctx.settings.setChecked(u"chkAuth", true);
    w.ctx.settings.setText(u"txtUserName", QStringLiteral("u"));
    w.ctx.settings.setText(u"txtPassword", QStringLiteral("p"));
    w.server.faults().forcedReplies.append({"AUTHINFO", 502, 1});
    w.addPending("alt.binaries.pictures.test", 3, "p3.jpg");
    ASSERT_TRUE(w.downloadRun(3000));
    EXPECT_TRUE(w.waits.back());
    EXPECT_TRUE(w.prompter.said.empty());
    ASSERT_TRUE(waitUntil([&] { return w.commands(1).size() == 2; }, 2000));
    EXPECT_EQ(w.commands(1), (QByteArrayList{"AUTHINFO USER u", "QUIT"}));
    ASSERT_TRUE(waitUntil([&] { return w.pending.count() == 1; }, 2000));
    EXPECT_EQ(w.texts(), QByteArrayList{"p3.jpg"});
    EXPECT_EQ(w.ctx.state.downloadState, DownloadState::Idle);
}

TEST(Login, LoginThenDownloadAfterAScan)
{
    CircleWorld w;
    w.server.setCredentials("u", "p");
    w.ctx.settings.setChecked(u"chkAuth", true);
    w.ctx.settings.setText(u"txtUserName", QStringLiteral("u"));
    w.ctx.settings.setText(u"txtPassword", QStringLiteral("p"));
    w.ctx.settings.setChecked(u"chkAutodownload", true);
    w.ctx.settings.setChecked(u"chkXOVER", true);
    ASSERT_TRUE(w.scanRun());
    EXPECT_FALSE(w.waits.back());
    EXPECT_EQ(int(w.sink.articles.size()), w.pending.addedCount());
    EXPECT_GT(w.sink.articles.size(), 0u);
    EXPECT_EQ(w.commands(2).mid(0, 3),
              (QByteArrayList{"AUTHINFO USER u", "AUTHINFO PASS p", "GROUP alt.binaries.pictures.test"}));
}

// Nothing is opened without a host or without groups to scan.
TEST(Login, ConnectScanNeedsAHostAndGroups)
{
    {
        CircleWorld w;
        w.ctx.settings.setText(u"txtHost", QString());
        w.ctx.settings.setText(u"txtPort", QString());
        w.circle.connectScan();
        ASSERT_EQ(w.waits, std::vector<bool>{true});
        EXPECT_TRUE(
            w.prompter.said.back().startsWith(u"Enter News Server name, and then click connect again.\r\r"));
        EXPECT_EQ(w.ctx.settings.text(u"txtPort"), QStringLiteral("119"));
        EXPECT_EQ(w.server.connectionsAccepted(), 0);
    }
    {
        CircleWorld w(QList<newsd::SampleGroup>{});
        QSignalSpy groupsWanted(&w.circle, &Circle::newsgroupsWanted);
        w.circle.connectScan();
        ASSERT_EQ(w.waits, std::vector<bool>{true});
        EXPECT_TRUE(
            w.prompter.said.back().startsWith(u"Before scanning, you need to specify some newsgroups."));
        EXPECT_EQ(groupsWanted.size(), 1);
    }
    {
        // Blanks around the host name and letters after the port number are ignored.
        CircleWorld w;
        w.ctx.settings.setText(u"txtHost", QStringLiteral("  127.0.0.1  "));
        w.ctx.settings.setText(u"txtPort", QString::number(w.server.port()) + QStringLiteral("abc"));
        ASSERT_TRUE(w.scanRun());
        EXPECT_FALSE(w.waits.back());
    }
    {
        // A refused connection is logged and ends the circle with an error.
        CircleWorld w;
        w.server.close();
        w.ctx.settings.setText(u"txtPort", QStringLiteral("1"));
        ASSERT_TRUE(w.scanRun());
        EXPECT_TRUE(w.waits.back());
        EXPECT_TRUE(w.logged(QStringLiteral("Connection refused")));
    }
}

} // namespace
} // namespace kestrel::test
