// The download with several requests on their way at once, and with a sink that files
// the articles later as the decode worker does: replies matched to their requests, and
// nothing taken off the list lost or filed twice when the run ends early.
#include "circle/circle_fixture.h"

#include <QTimer>

namespace kestrel::test {
namespace {

int inFlight(CircleWorld &w)
{
    return int(w.circle.connections().download().reader().expectedCount());
}

// Each reply goes to the article it answers, however the replies are cut or bunched;
// the connection stays in its group between articles of that group, and another group
// is selected only once the requests of the old one are answered; the article in hand
// and the status line name the article being handed over.
TEST(DownloadPipeline, RepliesAreMatchedToTheirRequestsInOrder)
{
    const struct {
        const char *name;
        int window;
        std::function<void(newsd::FaultPlan &)> faults;
        bool headers = false; // ARTICLE instead of BODY
    } cases[] = {
        {"one at a time, with headers", 1, [](newsd::FaultPlan &) {}, true},
        {"window of 3", 3, [](newsd::FaultPlan &) {}},
        {"cut at each of the first 64 bytes and at random", 8,
         [](newsd::FaultPlan &f) {
             for (qsizetype at = 1; at <= 64; ++at)
                 f.splitAt.append(at);
             f.randomSplits = 40;
             f.splitPauseMs = 0;
         }},
        {"three replies per segment", 8,
         [](newsd::FaultPlan &f) {
             f.repliesPerSegment = 3;
             f.coalesceWaitMs = 20;
         }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        CircleWorld w({{"a.one", 1, 10, 0}, {"a.two", 1, 10, 0}});
        w.ctx.settings.setNumber(u"sldPipeline", c.window);
        w.ctx.settings.setChecked(u"chkSaveHeaders", c.headers);
        c.faults(w.server.faults());
        w.queueNumbered(3, 6);
        w.addPending("a.two", 2, "q2.jpg");
        w.addPending("a.two", 3, "q3.jpg");
        w.queueNumbered(7, 7);
        QStringList statusAtHandOver;
        QByteArrayList inHandAtHandOver;
        w.sink.onArticle = [&](const CapturedArticle &) {
            statusAtHandOver.append(w.ctx.log.statusLine());
            inHandAtHandOver.append(w.ctx.state.currentArticle.text);
        };
        ASSERT_TRUE(w.downloadRun(10000));
        EXPECT_FALSE(w.waits.back());
        ASSERT_TRUE(w.quitSent());
        const QByteArray verb = c.headers ? "ARTICLE  " : "BODY  ";
        EXPECT_EQ(w.commands(1),
                  (QByteArrayList{"GROUP a.one", verb + "3", verb + "4", verb + "5", verb + "6",
                                  "GROUP a.two", verb + "2", verb + "3", "GROUP a.one", verb + "7", "QUIT"}));
        const QByteArrayList names{"p3.jpg", "p4.jpg", "p5.jpg", "p6.jpg", "q2.jpg", "q3.jpg", "p7.jpg"};
        ASSERT_EQ(w.fetched(), names);
        const QByteArrayList numbers{"3", "4", "5", "6", "2", "3", "7"};
        for (qsizetype i = 0; i < names.size(); ++i) {
            const CapturedArticle &a = w.sink.articles[size_t(i)];
            EXPECT_TRUE(a.articleBuffer.startsWith((c.headers ? "220 " : "222 ") + numbers[i] + " <"))
                << names[i].constData();
            EXPECT_TRUE(a.articleBuffer.endsWith("\r\n.\r\n"));
            EXPECT_EQ(a.bytes, a.articleBuffer.size());
            EXPECT_EQ(a.group, names[i].startsWith('q') ? "a.two" : "a.one");
            EXPECT_TRUE(statusAtHandOver[i].startsWith(QStringLiteral("Downloading: ") +
                                                       QString::fromLatin1(names[i]) + u' '))
                << qPrintable(statusAtHandOver[i]);
        }
        EXPECT_EQ(inHandAtHandOver, names);
        EXPECT_FALSE(w.ctx.state.articleInHand);
        EXPECT_EQ(w.pending.count(), 0);
        EXPECT_EQ(w.ctx.state.downloadState, DownloadState::Idle);
        EXPECT_FALSE(w.ctx.display.downloadLightBusy());
    }
}

// The window fills up to the setting and no further. Whatever ends the run while the
// requests are unanswered, on one connection or several, puts every one of them back at
// the head of the list in list order (and so into pending.dat); the next run fetches
// them all, each once.
TEST(DownloadPipeline, UnansweredRequestsGoBackInOrder)
{
    const struct {
        const char *name;
        int window;
        std::function<void(CircleWorld &)> stop;
        bool nextRun = true; // the program goes on after the stop
        int connections = 1;
    } cases[] = {
        {"user abort", 4,
         [](CircleWorld &w) {
             w.circle.abortDownload();
             EXPECT_TRUE(w.logged(QStringLiteral("User Abort!")));
             EXPECT_FALSE(w.ctx.state.rescanArmed);
             ASSERT_FALSE(w.waits.empty());
             EXPECT_FALSE(w.waits.back());
         }},
        {"server drops the connection", 8,
         [](CircleWorld &w) {
             w.server.dropConnections();
             ASSERT_TRUE(w.runUntilWait());
             EXPECT_TRUE(w.logged(QStringLiteral("The news server closed the connection.")));
         }},
        {"shutdown", 6,
         [](CircleWorld &w) {
             w.circle.takeBackDownloads();
             EXPECT_EQ(w.savedPending(), kSix);
         },
         false},
        {"user abort, three connections", 2, [](CircleWorld &w) { w.circle.abortDownload(); }, true, 3},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        CircleWorld w({{"a.one", 1, 10, 0}});
        w.ctx.settings.setNumber(u"sldPipeline", c.window);
        w.ctx.settings.setNumber(u"sldConnections", c.connections);
        w.server.faults().silences.append({"BODY", -1, -1});
        w.queueNumbered(3, 8);
        w.circle.downloadNext();
        ASSERT_TRUE(waitUntil([&] { return inFlight(w) == std::min(c.window, 6); }, 3000));
        ASSERT_TRUE(waitUntil(
            [&] { return w.ctx.state.pendingCount == 6 - std::min(c.window * c.connections, 6); }, 3000));
        EXPECT_EQ(inFlight(w), std::min(c.window, 6));
        c.stop(w);
        EXPECT_EQ(w.texts(), kSix);
        EXPECT_FALSE(w.ctx.state.articleInHand);
        EXPECT_TRUE(w.sink.articles.empty());
        if (!c.nextRun)
            continue;

        w.server.faults().silences.clear();
        w.server.dropConnections();
        w.ctx.settings.setNumber(u"sldConnections", 1);
        ASSERT_TRUE(w.downloadRun());
        EXPECT_EQ(w.fetched(), kSix);
        EXPECT_TRUE(w.texts().isEmpty());
    }
}

// The connection drops right after an article was handed over, with the window full,
// or in the middle of an article: the articles behind go back, none is handed over
// twice and none is lost.
TEST(DownloadPipeline, DropAfterAnArticleLosesNothingAndRepeatsNothing)
{
    const struct {
        int window;
        int cutAfterBytes; // -1: the drop comes after the second article
    } cases[] = {{2, -1}, {8, -1}, {8, 200}};
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.window << ' ' << c.cutAfterBytes);
        CircleWorld w({{"a.one", 1, 10, 0}});
        w.ctx.settings.setNumber(u"sldPipeline", c.window);
        w.server.faults().dropArticleAfterBytes = c.cutAfterBytes;
        w.queueNumbered(3, 8);
        w.sink.onArticle = [&](const CapturedArticle &) {
            if (w.sink.articles.size() == 2)
                w.server.dropConnections();
        };
        ASSERT_TRUE(w.downloadRun());
        EXPECT_TRUE(w.waits.back());
        EXPECT_TRUE(w.logged(QStringLiteral("The news server closed the connection.")));
        const QByteArrayList first = w.fetched();
        EXPECT_TRUE(c.cutAfterBytes < 0 ? first.size() >= 2 : first.isEmpty()) << first.size();
        EXPECT_EQ(first + w.texts(), kSix);
        w.sink.onArticle = nullptr;
        ASSERT_TRUE(w.downloadRun());
        EXPECT_EQ(w.fetched(), kSix);
        EXPECT_TRUE(w.sink.articles.back().articleBuffer.endsWith("\r\n.\r\n"));
    }
}

// The server starts to ask for the login while requests are on their way: every one
// of them is answered 480, the login goes through once, and the window is asked for
// again, so each article is fetched once and in order.
TEST(DownloadPipeline, LoginDemandedInTheMiddleOfTheWindow)
{
    CircleWorld w({{"a.one", 1, 10, 0}});
    w.ctx.settings.setNumber(u"sldPipeline", 4);
    w.ctx.settings.setText(u"txtUserName", QStringLiteral("u"));
    w.ctx.settings.setText(u"txtPassword", QStringLiteral("p"));
    w.queueNumbered(3, 8);
    w.sink.onArticle = [&](const CapturedArticle &) {
        if (w.sink.articles.size() == 1)
            w.server.setCredentials("u", "p");
    };
    ASSERT_TRUE(w.downloadRun());
    EXPECT_FALSE(w.waits.back());
    EXPECT_EQ(w.fetched(), kSix);
    EXPECT_EQ(w.count(w.commands(1), "AUTHINFO USER"), 1);
    EXPECT_TRUE(w.logged(QStringLiteral("Authinfo cleared, login complete...")));
}

// Filing that takes long (the clock moves on in the hand-over) makes the session leave
// the replies already read for the next turn of the event loop, one article per turn,
// instead of taking them all in one long step.
TEST(DownloadPipeline, SlowFilingLeavesTheOtherRepliesForTheNextTurn)
{
    CircleWorld w({{"a.one", 1, 10, 0}});
    w.server.faults().repliesPerSegment = 6;
    w.server.faults().coalesceWaitMs = 50;
    w.queueNumbered(3, 8);
    QByteArrayList steps;
    w.sink.onArticle = [&](const CapturedArticle &a) {
        steps.append(a.fileName);
        w.clock.advanceMsecs(15);
        QTimer::singleShot(0, &w.circle, [&] { steps.append("turn"); });
    };
    ASSERT_TRUE(w.downloadRun());
    ASSERT_EQ(w.fetched(), kSix);
    for (qsizetype i = 0; i + 1 < steps.size(); ++i) {
        if (steps[i] != "turn") {
            EXPECT_EQ(steps[i + 1], "turn") << "after " << steps[i].constData();
        }
    }
}

// Three articles wait in the sink (it has room for no more), the other three answers
// wait in the reader. Whatever ends the run then puts back every article not filed,
// in list order, the unfiled handed-over ones ahead of the unanswered requests; a
// report that comes after that is ignored; the next run fetches the rest, each once.
TEST(DownloadFiling, ArticlesTakenAndNotFiledGoBackInListOrder)
{
    const struct {
        const char *name;
        std::function<void(CircleWorld &)> stop;
        QByteArrayList left;
        bool error;
        QString logLine;
    } cases[] = {
        {"disk full on the first", [](CircleWorld &w) { w.sink.report(SinkResult::NotStored); }, kSix, true,
         QStringLiteral("disk full: downloads stopped")},
        {"disk full on the second",
         [](CircleWorld &w) {
             w.sink.report(SinkResult::Done);
             // The room made lets the next answer in.
             ASSERT_TRUE(waitUntil([&] { return w.sink.taken.size() == 3; }, 3000));
             EXPECT_EQ(w.sink.taken.back(), "p6.jpg");
             w.sink.report(SinkResult::NotStored);
         },
         kSix.mid(1), true, QStringLiteral("disk full: downloads stopped")},
        {"no download folder", [](CircleWorld &w) { w.sink.report(SinkResult::NoFolder); }, kSix, false,
         QStringLiteral("User Abort!")},
        {"user abort", [](CircleWorld &w) { w.circle.abortDownload(); }, kSix, false,
         QStringLiteral("User Abort!")},
        {"server drops the connection", [](CircleWorld &w) { w.server.dropConnections(); }, kSix, true,
         QStringLiteral("The news server closed the connection.")},
        {"emergency reconnect",
         [](CircleWorld &w) { w.circle.connections().emergencyReconnect(w.circle.connections().download()); },
         kSix, true, QString()},
        {"shutdown", [](CircleWorld &w) { w.circle.takeBackDownloads(); }, kSix, false, QString()},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        CircleWorld w({{"a.one", 1, 10, 0}});
        w.ctx.settings.setNumber(u"sldPipeline", 8);
        w.sink.later = true;
        w.sink.room = 3;
        w.queueNumbered(3, 8);
        w.circle.downloadNext();
        ASSERT_TRUE(waitUntil([&] { return w.sink.taken.size() == 3; }, 3000));
        ASSERT_TRUE(
            waitUntil([&] { return w.circle.connections().download().reader().buffered() > 0; }, 3000));
        EXPECT_TRUE(w.ctx.state.articleInHand);
        const bool isShutdown = c.logLine.isEmpty() && !c.error;
        c.stop(w);
        if (!isShutdown) {
            ASSERT_TRUE(waitUntil([&] { return !w.waits.empty(); }, 5000));
            EXPECT_EQ(w.waits.back(), c.error);
        }
        EXPECT_EQ(w.savedPending(), c.left);
        EXPECT_FALSE(w.ctx.state.articleInHand);
        EXPECT_GE(w.sink.drops, 1);
        EXPECT_TRUE(c.logLine.isEmpty() || w.logged(c.logLine)) << qPrintable(c.logLine);

        // A worker that had an article under way when the run ended reports it anyway.
        w.sink.listener->articleFiled(SinkResult::Done);
        EXPECT_EQ(w.texts(), c.left);
        if (isShutdown)
            continue;

        w.sink.later = false;
        w.sink.articles.clear();
        w.server.dropConnections();
        ASSERT_TRUE(w.downloadRun());
        EXPECT_EQ(w.fetched(), c.left);
        EXPECT_TRUE(w.texts().isEmpty());
    }
}

// The run ends with the last article filed, not with the last answer: until then the
// connection stays, nothing says the run is over, the article in hand is set, and the
// watchdog hears that the sink is at work.
TEST(DownloadFiling, RunEndsWhenTheLastArticleIsFiled)
{
    CircleWorld w({{"a.one", 1, 10, 0}});
    w.sink.later = true;
    w.queueNumbered(3, 8);
    w.circle.downloadNext();
    ASSERT_TRUE(waitUntil([&] { return w.sink.taken.size() == 6; }, 3000));
    EXPECT_TRUE(w.waits.empty());
    EXPECT_TRUE(w.ctx.state.articleInHand);
    EXPECT_FALSE(w.commands(1).contains("QUIT"));
    // A long decode keeps the watchdog of the connection quiet.
    w.clock.advanceMsecs(30'000);
    w.sink.listener->sinkWorking();
    EXPECT_EQ(w.circle.connections().download().lastActivityMs(), w.clock.msecsSinceStart());
    for (int i = 0; i < 5; ++i)
        w.sink.report(SinkResult::Done);
    EXPECT_TRUE(w.waits.empty());
    w.sink.report(SinkResult::Done);
    ASSERT_EQ(w.waits.size(), 1u);
    EXPECT_FALSE(w.waits.back());
    EXPECT_FALSE(w.ctx.state.articleInHand);
    EXPECT_TRUE(w.texts().isEmpty());
    EXPECT_TRUE(waitUntil([&] { return w.commands(1).endsWith("QUIT"); }, 3000));
}

// What a scan followed by its download run leaves behind.
struct CircleOutcome {
    QByteArrayList scanCommands;
    QByteArrayList downloadCommands;
    qint32 headers = 0;
    QByteArray lastRead;
    QByteArrayList fetchedNames;
    QByteArrayList fetchedTexts;
    bool finished = false;
    bool error = true;
};

CircleOutcome scanAndDownload(bool xover, int repliesPerSegment)
{
    CircleWorld w({{kGroup, 1, 24, 7}});
    w.server.faults().repliesPerSegment = repliesPerSegment;
    w.server.faults().coalesceWaitMs = 5;
    w.ctx.settings.setChecked(u"chkXOVER", xover);
    w.ctx.settings.setNumber(u"sldXOVER", 10);
    w.ctx.settings.setChecked(u"chkAutodownload", true);
    CircleOutcome out;
    w.circle.connectScan();
    out.finished =
        w.runUntilWait(15000) &&
        waitUntil([&] { return w.commands(2).endsWith("QUIT") && w.server.openConnections() <= 1; }, 3000);
    if (!w.waits.empty())
        out.error = w.waits.back();
    out.scanCommands = w.commands(1);
    out.downloadCommands = w.commands(2);
    out.headers = w.counters.scanHeaderCount;
    out.lastRead = w.favs.getLastRead(kGroup);
    for (const CapturedArticle &a : w.sink.articles) {
        out.fetchedNames.append(a.fileName);
        out.fetchedTexts.append(a.articleBuffer);
    }
    return out;
}

// The server holds its replies back and writes them three to a segment (the sessions
// wait for each answer, so a held reply goes out with the next or when the wait runs
// out). The download connection must fetch the same article texts, after the same
// conversation, as when every reply has a segment of its own.
TEST(CoalescedReplies, DownloadGivesTheSameResultAsUncoalesced)
{
    const CircleOutcome plain = scanAndDownload(true, 1);
    ASSERT_TRUE(plain.finished);
    ASSERT_FALSE(plain.error);
    // The group of 24 has 3 gaps; its picture posts are fetched.
    EXPECT_EQ(plain.headers, 21);
    ASSERT_GE(plain.fetchedTexts.size(), 8);
    for (const QByteArray &text : plain.fetchedTexts)
        EXPECT_TRUE(text.endsWith("\r\n.\r\n"));
    const CircleOutcome coalesced = scanAndDownload(true, 3);
    ASSERT_TRUE(coalesced.finished);
    EXPECT_FALSE(coalesced.error);
    EXPECT_EQ(coalesced.scanCommands, plain.scanCommands);
    EXPECT_EQ(coalesced.downloadCommands, plain.downloadCommands);
    EXPECT_EQ(coalesced.headers, plain.headers);
    EXPECT_EQ(coalesced.lastRead, plain.lastRead);
    EXPECT_EQ(coalesced.fetchedNames, plain.fetchedNames);
    EXPECT_TRUE(coalesced.fetchedTexts == plain.fetchedTexts);
}

} // namespace
} // namespace kestrel::test
