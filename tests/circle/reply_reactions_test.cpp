#include "circle/circle_fixture.h"

#include "nntp/reply_reaction.h"

namespace kestrel::test {
namespace {

using R = ReplyReaction;

// One reply code answering one command of the scan (the greeting when the command is
// empty), and what the scan then does: the log line it writes, how far each group is
// read, whether the circle ends on an error or takes the emergency path. Every run ends
// without the watchdog.
struct ScanRow {
    QByteArray command;
    int code;
    R reaction;
    QString logLine;
    QByteArray lastReadOne; // a.one, 5 articles, the group the answer comes in
    QByteArray lastReadTwo; // a.two, 5 articles, read after it
    bool xover = true;
    QByteArray text = {}; // the answer's text, when not the usual one
};

TEST(ReplyReactions, EachAnswerToTheScanGetsItsReactionAtOnce)
{
    const QString closing = QStringLiteral("The news server is closing the connection (scan): 400");
    const ScanRow rows[] = {
        {"", 200, R::Success, "200 newsd ready", "5", "5"},
        {"", 400, R::ServiceClosing, "The news server is not available now (scan): 400", "", ""},
        {"", 502, R::ServiceRefused, "The news server refused the connection (scan): 502", "", ""},
        {"GROUP a.one", 411, R::NoSuchGroup, "Error, no such news group a.one", "", "5"},
        {"GROUP a.one", 502, R::GroupDenied, "No permission to read a.one (502 Permission denied); skipped.",
         "", "5"},
        {"GROUP a.one", 403, R::GroupUnusable, "GROUP failed in a.one: 403 Internal fault", "", "5"},
        {"GROUP a.one", 503, R::GroupUnusable, "GROUP failed in a.one: 503", "", "5"},
        {"GROUP a.one", 401, R::ModeReader, "sending MODE READER.", "5", "5"},
        {"GROUP a.one", 480, R::AuthRequired, "Authinfo cleared, login complete...", "5", "5"},
        {"GROUP a.one", 400, R::ServiceClosing, closing, "", ""},
        {"XOVER", 423, R::EmptyRange, "xover data recieved", "5", "5"},
        {"XOVER", 420, R::EmptyRange, "xover data recieved", "5", "5"},
        {"XOVER", 500, R::NoOverview, "The server does not support XOVER", "5", "5"},
        {"XOVER", 501, R::NoOverview, "The server does not support XOVER", "5", "5"},
        {"XOVER", 403, R::GroupUnusable, "XOVER failed in a.one: 403", "1", "5"},
        {"XOVER", 502, R::ModeReader, "sending MODE READER.", "5", "5", true, "MODE READER first"},
        {"NEXT", 421, R::EndOfGroup, "Scan Complete.", "5", "5", false},
        {"NEXT", 403, R::GroupUnusable, "NEXT failed in a.one: 403", "1", "5", false},
        {"NEXT", 412, R::GroupUnusable, "NEXT failed in a.one: 412", "1", "5", false},
        {"NEXT", 401, R::ModeReader, "sending MODE READER.", "5", "5", false},
        {"NEXT", 400, R::ServiceClosing, closing, "1", "", false},
        {"LISTGROUP", 500, R::NoListGroup,
         "The server does not list article numbers in a.one; reading headers one by one.", "5", "5", false},
        {"LISTGROUP", 503, R::NoListGroup,
         "The server does not list article numbers in a.one; reading headers one by one.", "5", "5", false},
        {"HEAD", 423, R::NoSuchArticle, "Article 1 is gone from a.one (423", "5", "5", false},
        {"HEAD", 430, R::NoSuchArticle, "Article 1 is gone from a.one (430", "5", "5", false},
        {"HEAD", 420, R::EndOfGroup, "Scan Complete.", "1", "5", false},
        {"HEAD", 400, R::ServiceClosing, closing, "1", "", false},
        {"HEAD", 503, R::GroupUnusable, "HEAD failed in a.one: 503", "1", "5", false},
        {"HEAD", 500, R::ModeReader, "sending MODE READER.", "5", "5", false, "Use MODE READER first"},
        {"SLAVE", 202, R::Success, "202 Forced reply", "5", "5"},
        {"SLAVE", 500, R::SlaveRefused, "500 Unknown command", "5", "5"},
        {"SLAVE", 403, R::SlaveRefused, "403 Internal fault", "5", "5"},
        {"SLAVE", 401, R::SlaveRefused, "401 Forced reply", "5", "5"},
        {"AUTHINFO", 481, R::LoginRefused, "481 Authentication failed", "", ""},
        {"AUTHINFO", 502, R::LoginRefused, "502 Permission denied", "", ""},
    };
    for (const ScanRow &r : rows) {
        SCOPED_TRACE(testing::Message() << r.command.constData() << ' ' << r.code);
        const NntpCommand command = r.command.isEmpty() ? NntpCommand::None : nntpCommandOf(r.command);
        EXPECT_EQ(replyReaction(command, r.code, r.text), r.reaction)
            << replyReactionName(replyReaction(command, r.code, r.text));
        CircleWorld w({{"a.one", 1, 5, 0}, {"a.two", 1, 5, 0}});
        w.ctx.settings.setChecked(u"chkXOVER", r.xover);
        w.ctx.settings.setChecked(u"chkAllowRestart", true);
        w.ctx.settings.setChecked(u"chkSlave", command == NntpCommand::Slave);
        w.ctx.settings.setChecked(u"chkAuth", command == NntpCommand::AuthInfo);
        w.ctx.settings.setText(u"txtUserName", QStringLiteral("u"));
        w.ctx.settings.setText(u"txtPassword", QStringLiteral("p"));
        if (r.command.isEmpty())
            w.server.faults().greetingCode = r.code;
        else
            w.server.faults().forcedReplies.append({r.command, r.code, 1, r.text});
        // NEXT steps only on a server that does not list article numbers.
        if (command == NntpCommand::Next)
            w.server.faults().forcedReplies.append({"LISTGROUP", 500, -1});
        w.circle.connectScan();
        ASSERT_TRUE(waitUntil([&] { return !w.waits.empty() || w.ctx.state.rescanArmed; }));
        EXPECT_TRUE(w.logged(r.logLine));
        EXPECT_EQ(w.favs.getLastRead("a.one"), r.lastReadOne);
        EXPECT_EQ(w.favs.getLastRead("a.two"), r.lastReadTwo);
        const bool emergency = r.reaction == R::ServiceClosing || r.reaction == R::ServiceRefused;
        EXPECT_EQ(w.ctx.state.rescanArmed, emergency);
        EXPECT_EQ(w.logged(QStringLiteral("Emergency Reconnect in 90 seconds.")), emergency);
        if (!emergency) {
            EXPECT_EQ(w.waits, std::vector<bool>{r.reaction == R::LoginRefused});
        }
        EXPECT_EQ(w.prompter.said.empty(), r.reaction != R::LoginRefused);
        EXPECT_FALSE(w.ctx.state.scanning);
    }
}

} // namespace
} // namespace kestrel::test
