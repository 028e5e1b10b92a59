#include "circle/circle_fixture.h"

#include "nntp/reply_reaction.h"

namespace kestrel::test {
namespace {

using R = ReplyReaction;

// One reply code answering one command of the scan, and what the scan then does: the
// log line it writes, how far each group is read, whether the circle ends on an error
// or takes the emergency path. Every run ends without the watchdog.
struct ScanRow {
    NntpCommand command;
    int code;
    R reaction;
    QString logLine;
    QByteArray lastReadOne; // a.one, 5 articles, the group the answer comes in
    QByteArray lastReadTwo; // a.two, 5 articles, read after it
    bool xover = true;
    QByteArray text = {}; // the answer's text, when not the usual one
};

enum class End { Normal, Error, Emergency };

End endOf(const ScanRow &r)
{
    switch (r.reaction) {
    case R::ServiceClosing:
    case R::ServiceRefused:
        return End::Emergency;
    case R::LoginRefused:
        return End::Error;
    default:
        return End::Normal;
    }
}

// The server command the answer is forced on, and the settings that make the scan send it.
QByteArray forcedVerb(NntpCommand c)
{
    switch (c) {
    case NntpCommand::Group:
        return "GROUP a.one";
    case NntpCommand::Next:
        return "NEXT";
    case NntpCommand::Head:
        return "HEAD";
    case NntpCommand::ListGroup:
        return "LISTGROUP";
    case NntpCommand::Xover:
        return "XOVER";
    case NntpCommand::Slave:
        return "SLAVE";
    case NntpCommand::AuthInfo:
        return "AUTHINFO";
    default:
        return {};
    }
}

TEST(ReplyReactions, EachAnswerToTheScanGetsItsReactionAtOnce)
{
    const QString closing = QStringLiteral("The news server is closing the connection (scan): 400");
    const ScanRow rows[] = {
        {NntpCommand::None, 200, R::Success, "200 newsd ready", "5", "5"},
        {NntpCommand::None, 400, R::ServiceClosing, "The news server is not available now (scan): 400", "",
         ""},
        {NntpCommand::None, 502, R::ServiceRefused, "The news server refused the connection (scan): 502", "",
         ""},
        {NntpCommand::Group, 411, R::NoSuchGroup, "Error, no such news group a.one", "", "5"},
        {NntpCommand::Group, 502, R::GroupDenied,
         "No permission to read a.one (502 Permission denied); skipped.", "", "5"},
        {NntpCommand::Group, 403, R::GroupUnusable, "GROUP failed in a.one: 403 Internal fault", "", "5"},
        {NntpCommand::Group, 503, R::GroupUnusable, "GROUP failed in a.one: 503", "", "5"},
        {NntpCommand::Group, 401, R::ModeReader, "sending MODE READER.", "5", "5"},
        {NntpCommand::Group, 480, R::AuthRequired, "Authinfo cleared, login complete...", "5", "5"},
        {NntpCommand::Group, 400, R::ServiceClosing, closing, "", ""},
        {NntpCommand::Xover, 423, R::EmptyRange, "xover data recieved", "5", "5"},
        {NntpCommand::Xover, 420, R::EmptyRange, "xover data recieved", "5", "5"},
        {NntpCommand::Xover, 500, R::NoOverview, "The server does not support XOVER", "5", "5"},
        {NntpCommand::Xover, 501, R::NoOverview, "The server does not support XOVER", "5", "5"},
        {NntpCommand::Xover, 403, R::GroupUnusable, "XOVER failed in a.one: 403", "1", "5"},
        {NntpCommand::Xover, 502, R::ModeReader, "sending MODE READER.", "5", "5", true, "MODE READER first"},
        {NntpCommand::Next, 421, R::EndOfGroup, "Scan Complete.", "5", "5", false},
        {NntpCommand::Next, 403, R::GroupUnusable, "NEXT failed in a.one: 403", "1", "5", false},
        {NntpCommand::Next, 412, R::GroupUnusable, "NEXT failed in a.one: 412", "1", "5", false},
        {NntpCommand::Next, 401, R::ModeReader, "sending MODE READER.", "5", "5", false},
        {NntpCommand::Next, 400, R::ServiceClosing, closing, "1", "", false},
        {NntpCommand::ListGroup, 500, R::NoListGroup,
         "The server does not list article numbers in a.one; reading headers one by one.", "5", "5", false},
        {NntpCommand::ListGroup, 503, R::NoListGroup,
         "The server does not list article numbers in a.one; reading headers one by one.", "5", "5", false},
        {NntpCommand::Head, 423, R::NoSuchArticle, "Article 1 is gone from a.one (423", "5", "5", false},
        {NntpCommand::Head, 430, R::NoSuchArticle, "Article 1 is gone from a.one (430", "5", "5", false},
        {NntpCommand::Head, 420, R::EndOfGroup, "Scan Complete.", "1", "5", false},
        {NntpCommand::Head, 400, R::ServiceClosing, closing, "1", "", false},
        {NntpCommand::Head, 503, R::GroupUnusable, "HEAD failed in a.one: 503", "1", "5", false},
        {NntpCommand::Head, 500, R::ModeReader, "sending MODE READER.", "5", "5", false,
         "Use MODE READER first"},
        {NntpCommand::Slave, 202, R::Success, "202 Forced reply", "5", "5"},
        {NntpCommand::Slave, 500, R::SlaveRefused, "500 Unknown command", "5", "5"},
        {NntpCommand::Slave, 403, R::SlaveRefused, "403 Internal fault", "5", "5"},
        {NntpCommand::Slave, 401, R::SlaveRefused, "401 Forced reply", "5", "5"},
        {NntpCommand::AuthInfo, 481, R::LoginRefused, "481 Authentication failed", "", ""},
        {NntpCommand::AuthInfo, 502, R::LoginRefused, "502 Permission denied", "", ""},
    };
    for (const ScanRow &r : rows) {
        SCOPED_TRACE(QStringLiteral("%1 %2")
                         .arg(QString::fromLatin1(forcedVerb(r.command)))
                         .arg(r.code)
                         .toStdString());
        EXPECT_EQ(replyReaction(r.command, r.code, r.text), r.reaction)
            << replyReactionName(replyReaction(r.command, r.code, r.text));
        CircleWorld w({{"a.one", 1, 5, 0}, {"a.two", 1, 5, 0}});
        w.ctx.settings.setChecked(u"chkXOVER", r.xover);
        w.ctx.settings.setChecked(u"chkAllowRestart", true);
        w.ctx.settings.setChecked(u"chkSlave", r.command == NntpCommand::Slave);
        w.ctx.settings.setChecked(u"chkAuth", r.command == NntpCommand::AuthInfo);
        w.ctx.settings.setText(u"txtUserName", QStringLiteral("u"));
        w.ctx.settings.setText(u"txtPassword", QStringLiteral("p"));
        if (r.command == NntpCommand::None)
            w.server.faults().greetingCode = r.code;
        else
            w.server.faults().forcedReplies.append({forcedVerb(r.command), r.code, 1, r.text});
        // NEXT steps only on a server that does not list article numbers.
        if (r.command == NntpCommand::Next)
            w.server.faults().forcedReplies.append({"LISTGROUP", 500, -1});
        w.circle.connectScan();
        ASSERT_TRUE(waitUntil([&] { return !w.waits.empty() || w.ctx.state.rescanArmed; }));
        EXPECT_TRUE(w.logged(r.logLine));
        EXPECT_EQ(w.favs.getLastRead("a.one"), r.lastReadOne);
        EXPECT_EQ(w.favs.getLastRead("a.two"), r.lastReadTwo);
        const End end = endOf(r);
        EXPECT_EQ(w.ctx.state.rescanArmed, end == End::Emergency);
        EXPECT_EQ(w.logged(QStringLiteral("Emergency Reconnect in 90 seconds.")), end == End::Emergency);
        if (end != End::Emergency) {
            EXPECT_EQ(w.waits, std::vector<bool>{end == End::Error});
        }
        EXPECT_EQ(w.prompter.said.empty(), r.reaction != R::LoginRefused);
        EXPECT_FALSE(w.ctx.state.scanning);
    }
}

// A refused login on BODY keeps the entry for the next run; a greeting that refuses
// service on the download connection takes the emergency path. (The other answers to
// BODY, with their log lines, are in the download session and pipeline tests.)
TEST(ReplyReactions, EachAnswerToBodyKeepsOrDropsTheArticle)
{
    const struct {
        NntpCommand command;
        int code;
        R reaction;
        bool kept;
        bool emergency;
    } rows[] = {
        {NntpCommand::Article, 502, R::LoginRefused, true, false},
        {NntpCommand::None, 400, R::ServiceClosing, true, true},
        {NntpCommand::None, 502, R::ServiceRefused, true, true},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(QStringLiteral("%1 %2")
                         .arg(r.command == NntpCommand::None ? "greeting" : "BODY")
                         .arg(r.code)
                         .toStdString());
        EXPECT_EQ(replyReaction(r.command, r.code), r.reaction);
        CircleWorld w({{"a.one", 1, 10, 0}});
        w.ctx.settings.setChecked(u"chkAllowRestart", true);
        if (r.command == NntpCommand::None)
            w.server.faults().greetingCode = r.code;
        else
            w.server.faults().forcedReplies.append({"BODY", r.code, 1});
        w.addPending("a.one", 3, "p3.jpg");
        w.circle.downloadNext();
        ASSERT_TRUE(waitUntil([&] { return !w.waits.empty() || w.ctx.state.rescanArmed; }));
        ASSERT_TRUE(waitUntil([&] { return w.ctx.state.downloadState == DownloadState::Idle; }));
        const QByteArrayList left = r.kept ? QByteArrayList{"p3.jpg"} : QByteArrayList{};
        EXPECT_TRUE(waitUntil([&] { return w.texts() == left; }, 2000)) << w.texts().join(' ').constData();
        EXPECT_EQ(w.ctx.state.rescanArmed, r.emergency);
        EXPECT_EQ(w.logged(QStringLiteral("(download): ") + QString::number(r.code)),
                  r.command == NntpCommand::None);
        EXPECT_TRUE(w.sink.articles.empty());
    }
}

} // namespace
} // namespace kestrel::test
