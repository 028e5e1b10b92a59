// The download with several requests on their way at once: replies matched to their
// requests, and nothing taken off the list lost when the run ends early.
#include "circle/circle_fixture.h"

#include <QTimer>

namespace kestrel::test {
namespace {

const QByteArrayList kSix{"p3.jpg", "p4.jpg", "p5.jpg", "p6.jpg", "p7.jpg", "p8.jpg"};

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
        w.circle.downloadNext();
        ASSERT_TRUE(w.runUntilWait(10000));
        EXPECT_FALSE(w.waits.back());
        ASSERT_TRUE(waitUntil([&] { return w.commands(1).endsWith("QUIT"); }, 3000));
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
// requests are unanswered puts every one of them back at the head of the list in list
// order (and so into pending.dat); the next run fetches them all, each once.
TEST(DownloadPipeline, UnansweredRequestsGoBackInOrder)
{
    const struct {
        const char *name;
        int window;
        std::function<void(CircleWorld &)> stop;
        bool nextRun = true; // the program goes on after the stop
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
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        CircleWorld w({{"a.one", 1, 10, 0}});
        w.ctx.settings.setNumber(u"sldPipeline", c.window);
        w.server.faults().silences.append({"BODY", -1, 1});
        w.queueNumbered(3, 8);
        w.circle.downloadNext();
        ASSERT_TRUE(waitUntil([&] { return inFlight(w) == std::min(c.window, 6); }, 3000));
        EXPECT_EQ(w.ctx.state.pendingCount, 6 - std::min(c.window, 6));
        c.stop(w);
        EXPECT_EQ(w.texts(), kSix);
        EXPECT_FALSE(w.ctx.state.articleInHand);
        EXPECT_TRUE(w.sink.articles.empty());
        if (!c.nextRun)
            continue;

        w.server.dropConnections();
        w.circle.downloadNext();
        ASSERT_TRUE(w.runUntilWait());
        EXPECT_EQ(w.fetched(), kSix);
        EXPECT_TRUE(w.texts().isEmpty());
    }
}

// The connection drops right after an article was handed over, with the window full:
// the articles behind it go back, none is handed over twice and none is lost.
TEST(DownloadPipeline, DropAfterAnArticleLosesNothingAndRepeatsNothing)
{
    for (const int window : {2, 8}) {
        SCOPED_TRACE(window);
        CircleWorld w({{"a.one", 1, 10, 0}});
        w.ctx.settings.setNumber(u"sldPipeline", window);
        w.queueNumbered(3, 8);
        w.sink.onArticle = [&](const CapturedArticle &) {
            if (w.sink.articles.size() == 2)
                w.server.dropConnections();
        };
        w.circle.downloadNext();
        ASSERT_TRUE(w.runUntilWait());
        EXPECT_TRUE(w.waits.back());
        const QByteArrayList first = w.fetched();
        ASSERT_GE(first.size(), 2);
        EXPECT_EQ(first + w.texts(), kSix);
        w.sink.onArticle = nullptr;
        w.circle.downloadNext();
        ASSERT_TRUE(w.runUntilWait());
        EXPECT_EQ(w.fetched(), kSix);
    }
}

// The reactions to a refusal hold for the article it answers, wherever it stands in the
// window: 430 drops that article alone; a refusal that may pass, or 400, ends the run
// and keeps it at the head, the unanswered ones behind it, in order.
TEST(DownloadPipeline, RefusalInTheMiddleOfTheWindowConcernsItsArticle)
{
    const struct {
        int code;
        QByteArrayList fetched;
        QByteArrayList left;
        QString logLine;
    } cases[] = {
        {430,
         {"p3.jpg", "p4.jpg", "p6.jpg", "p7.jpg", "p8.jpg"},
         {},
         QStringLiteral("Article not available: p5.jpg (430")},
        {423, {"p3.jpg", "p4.jpg", "p6.jpg", "p7.jpg", "p8.jpg"}, {}, QStringLiteral("bad article number!")},
        {436,
         {"p3.jpg", "p4.jpg"},
         {"p5.jpg", "p6.jpg", "p7.jpg", "p8.jpg"},
         QStringLiteral("Article p5.jpg: server answered 436 Forced reply; kept for the next run.")},
        {400,
         {"p3.jpg", "p4.jpg"},
         {"p5.jpg", "p6.jpg", "p7.jpg", "p8.jpg"},
         QStringLiteral("Article p5.jpg: server answered 400 Service temporarily unavailable; kept")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.code);
        CircleWorld w({{"a.one", 1, 10, 0}});
        w.server.faults().forcedReplies.append({"BODY 5", c.code, 1});
        w.queueNumbered(3, 8);
        w.circle.downloadNext();
        ASSERT_TRUE(w.runUntilWait());
        EXPECT_EQ(w.waits.back(), !c.left.isEmpty());
        EXPECT_TRUE(w.logged(c.logLine));
        EXPECT_EQ(w.fetched(), c.fetched);
        EXPECT_EQ(w.texts(), c.left);
        EXPECT_FALSE(w.ctx.state.articleInHand);
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
    w.circle.downloadNext();
    ASSERT_TRUE(w.runUntilWait());
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
    w.circle.downloadNext();
    ASSERT_TRUE(w.runUntilWait());
    ASSERT_EQ(w.fetched(), kSix);
    for (qsizetype i = 0; i + 1 < steps.size(); ++i) {
        if (steps[i] != "turn") {
            EXPECT_EQ(steps[i + 1], "turn") << "after " << steps[i].constData();
        }
    }
}

} // namespace
} // namespace kestrel::test
