#include "circle/circle_fixture.h"

namespace kestrel::test {
namespace {

using newsd::SampleGroup;

// Large servers number their articles past 32 bits.
TEST(DownloadSession, ArticleNumbersPastThirtyTwoBitsAreFetchedAsTheyAre)
{
    const qint64 big = 5000000001;
    CircleWorld w({{"a.big", big, big + 1, 0}});
    w.addPending("a.big", big + 1, "big.jpg");
    ASSERT_TRUE(w.downloadRun());
    EXPECT_EQ(w.commands(1).value(1), "BODY  5000000002");
    ASSERT_EQ(w.sink.articles.size(), 1u);
    EXPECT_TRUE(w.sink.articles[0].articleBuffer.startsWith("222 5000000002 "));
}

// A group the server does not carry keeps its entries for a later run and does not
// stall the run: the entries of the other groups are fetched.
TEST(DownloadSession, MissingGroupKeepsItsEntriesAndTheRunGoesOn)
{
    CircleWorld w({{"a.one", 1, 10, 0}});
    w.addPending("a.missing", 2, "m2.jpg");
    w.addPending("a.missing", 5, "m5.jpg");
    w.addPending("a.one", 3, "p3.jpg");
    w.addPending("a.one", 4, "p4.jpg");
    ASSERT_TRUE(w.downloadRun(3000));
    EXPECT_TRUE(w.logged(QStringLiteral("Error, no such news group a.missing")));
    EXPECT_EQ(w.fetched(), (QByteArrayList{"p3.jpg", "p4.jpg"}));
    EXPECT_EQ(w.texts(), (QByteArrayList{"m2.jpg", "m5.jpg"}));
}

// Only "no such article" drops the article at once, wherever it stands in the window,
// and the run goes on. Any other refusal keeps it at the head of the list, the
// unanswered ones behind it in order, and ends the run; 400 with restarts allowed, and
// a greeting that refuses service, take the emergency reconnect. Either way the next
// run fetches what is left, in order.
TEST(DownloadSession, RefusalsThatMayPassKeepTheArticleForTheNextRun)
{
    const QString kept = QStringLiteral("; kept for the next run.");
    const struct {
        QByteArray command; // empty: the greeting
        int code;
        bool restart;
        QString logLine;
    } cases[] = {
        {"BODY 5", 400, false, "Article p5.jpg: server answered 400 Service temporarily unavailable" + kept},
        {"BODY 5", 400, true, "Article p5.jpg: server answered 400 Service temporarily unavailable" + kept},
        {"BODY 5", 403, false, "Article p5.jpg: server answered 403 Internal fault" + kept},
        {"BODY 5", 436, false, "Article p5.jpg: server answered 436 Forced reply" + kept},
        {"BODY 5", 503, false, "Article p5.jpg: server answered 503 Not supported" + kept},
        {"BODY 5", 500, false, "Article p5.jpg: server answered 500 Unknown command" + kept},
        {"BODY 5", 599, false, "Article p5.jpg: server answered 599 Forced reply" + kept},
        {"BODY 5", 502, false, {}}, // a refused login
        {"BODY 5", 423, false, "bad article number!"},
        {"BODY 5", 430, false, "Article not available: p5.jpg (430 No article with that message-id)"},
        {"", 400, true, "The news server is not available now (download): 400"},
        {"", 502, true, "The news server refused the connection (download): 502"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.command.constData() << ' ' << c.code);
        CircleWorld w({{"a.one", 1, 10, 0}});
        w.ctx.settings.setChecked(u"chkAllowRestart", c.restart);
        if (c.command.isEmpty())
            w.server.faults().greetingCode = c.code;
        else
            w.server.faults().forcedReplies.append({c.command, c.code, 1});
        w.queueNumbered(3, 8);
        w.circle.downloadNext();
        const bool gone = c.code == 423 || c.code == 430;
        if (c.restart) {
            ASSERT_TRUE(waitUntil(
                [&] { return w.logged(QStringLiteral("Emergency Reconnect in 90 seconds.")); }, 3000));
            ASSERT_TRUE(waitUntil([&] { return w.ctx.state.downloadState == DownloadState::Idle; }));
            EXPECT_FALSE(w.circle.connections().download().socket().isConnected());
        } else {
            ASSERT_TRUE(w.runUntilWait(3000));
            EXPECT_EQ(w.waits.back(), !gone);
        }
        EXPECT_TRUE(c.logLine.isEmpty() || w.logged(c.logLine)) << qPrintable(c.logLine);
        QByteArrayList first = c.command.isEmpty() ? QByteArrayList{} : kSix.mid(0, 2);
        if (gone)
            first << kSix.mid(3);
        EXPECT_EQ(w.fetched(), first);
        EXPECT_EQ(w.texts(), gone ? QByteArrayList{} : kSix.mid(first.size()));
        EXPECT_FALSE(w.ctx.state.articleInHand);
        EXPECT_EQ(w.ctx.state.downloadState, DownloadState::Idle);
        EXPECT_FALSE(w.noRedl.contains("p5.jpg"));
        if (gone)
            continue;

        w.server.faults().greetingCode = 200;
        ASSERT_TRUE(w.downloadRun(3000));
        EXPECT_FALSE(w.waits.back());
        EXPECT_EQ(w.fetched(), kSix);
        EXPECT_TRUE(w.texts().isEmpty());
    }
}

// Emergency reconnects (a connection silent in the middle of the article, cut off by
// the watchdog) and refusals that may pass count together, per article: the third
// failure drops it, and the next run goes on with the rest.
TEST(DownloadSession, ThirdFailedAttemptDropsTheArticle)
{
    const QString dropped = QStringLiteral("Dropped after 3 failed attempts: p3.jpg");
    const struct {
        QList<int> codes; // 0: silent until the watchdog cuts it off
        QString logLine;
    } cases[] = {
        {{436, 436, 436}, dropped + " (436 Forced reply)"},
        {{400, 403, 503}, dropped + " (503 Not supported)"},
        {{436, 403, 400}, dropped + " (400 Service temporarily unavailable)"},
        {{0, 0, 0}, dropped},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.codes.first() << c.codes.last());
        CircleWorld w({{"a.one", 1, 10, 0}});
        const bool silent = c.codes.first() == 0;
        w.ctx.settings.setChecked(u"chkAllowRestart", silent);
        for (const int code : c.codes) {
            if (code == 0)
                w.server.faults().silences.append({"BODY", -1, 1});
            else
                w.server.faults().forcedReplies.append({"BODY 3", code, 1});
        }
        w.addPending("a.one", 3, "p3.jpg");
        w.addPending("a.one", 4, "p4.jpg");
        for (qsizetype attempt = 1; attempt <= c.codes.size(); ++attempt) {
            SCOPED_TRACE(attempt);
            if (silent) {
                w.circle.downloadNext();
                ASSERT_TRUE(waitUntil([&] { return w.count(w.commands(), "BODY  3") == attempt; }, 3000));
                w.clock.advanceMsecs(61'000);
                w.circle.connections().watchdogTick(w.circle.connections().download());
                EXPECT_EQ(
                    w.timesLogged(QStringLiteral("Download connection silent for more than 60 seconds.")),
                    attempt);
                EXPECT_EQ(w.timesLogged(QStringLiteral("Emergency Reconnect in 90 seconds.")), attempt);
                EXPECT_EQ(w.ctx.state.downloadState, DownloadState::Idle);
                EXPECT_FALSE(w.ctx.state.articleInHand);
                w.circle.countdown().stop();
                w.ctx.state.rescanArmed = false;
            } else {
                ASSERT_TRUE(w.downloadRun(3000));
                EXPECT_TRUE(w.waits.back());
            }
            EXPECT_EQ(w.texts(),
                      attempt < 3 ? (QByteArrayList{"p3.jpg", "p4.jpg"}) : QByteArrayList{"p4.jpg"});
            EXPECT_EQ(w.logged(c.logLine), attempt == 3);
        }
        EXPECT_TRUE(w.sink.articles.empty());
        EXPECT_FALSE(w.noRedl.contains("p3.jpg"));
        ASSERT_TRUE(w.downloadRun(3000));
        EXPECT_EQ(w.fetched(), QByteArrayList{"p4.jpg"});
        EXPECT_EQ(w.count(w.commands(), "BODY  3"), 3);
    }
}

// The scan stops as soon as the pending list is full, and the download run starts.
TEST(DownloadSession, MaxPendingStopsTheScanAndStartsTheDownload)
{
    CircleWorld w({{"a.one", 1, 200, 0}, {"a.two", 1, 50, 0}});
    w.useXover(20);
    w.ctx.settings.setNumber(u"sldMaxPending", 5);
    w.ctx.settings.setChecked(u"chkAutodownload", true);
    int queuedAtStop = -1;
    QObject::connect(&w.ctx.log, &OperationsLog::logged, &w.circle, [&](const QString &, const QString &m) {
        if (m.startsWith(u"Scan Stopped (max pending)."))
            queuedAtStop = w.ctx.state.pendingCount;
    });
    ASSERT_TRUE(w.scanRun());
    EXPECT_GE(queuedAtStop, 5);
    EXPECT_EQ(int(w.sink.articles.size()), queuedAtStop);
    EXPECT_EQ(w.count(w.commands(1), "GROUP a.two"), 0);
    EXPECT_EQ(w.count(w.commands(1), "XOVER"), 1);
    EXPECT_FALSE(w.ctx.state.scanning);
}

// A run restarted while the old connection is still open (here right after a 412, before
// the goodbye) opens a fresh connection instead of waiting on the old one, and the
// article of the ended run is fetched too.
TEST(DownloadSession, AlreadyConnectedDoesNotStallTheRun)
{
    CircleWorld w({{"a.one", 1, 10, 0}});
    w.server.faults().forcedReplies.append({"GROUP", 412, 1});
    w.addPending("a.one", 3, "p3.jpg");
    w.addPending("a.one", 4, "p4.jpg");
    bool restarted = false;
    QObject::connect(&w.circle, &Circle::wouldWait, &w.circle, [&] {
        if (!restarted && w.circle.connections().download().socket().isConnected()) {
            restarted = true;
            w.circle.downloadNext();
        }
    });
    w.circle.downloadNext();
    ASSERT_TRUE(waitUntil([&] { return w.sink.articles.size() == 2; }, 3000));
    EXPECT_TRUE(restarted);
    EXPECT_TRUE(w.logged(QStringLiteral("Already Connected!")));
    EXPECT_EQ(w.sink.articles[0].fileName, "p3.jpg");
    EXPECT_EQ(w.server.connectionsAccepted(), 2);
}

// A run with only ghosted entries ends at once; the buttons that cannot act say why.
TEST(DownloadSession, OnlyGhostedEntriesEndTheRunAtOnce)
{
    CircleWorld w;
    w.circle.abortDownload();
    EXPECT_EQ(w.prompter.said.back(),
              QStringLiteral("Use this button to stop the download process, there is not currently anything "
                             "downloading."));
    w.addGhosted("!Duplicate", "x.jpg (1/1)");
    w.counters.scanHeaderCount = 0;
    w.ctx.settings.setChecked(u"chkReScan", true);
    w.circle.downloadNext();
    ASSERT_FALSE(w.waits.empty());
    EXPECT_EQ(w.ctx.log.statusLine(), QStringLiteral("Done!"));
    EXPECT_FALSE(w.ctx.state.rescanArmed);
    EXPECT_EQ(w.pending.count(), 1);
    // A scan running refuses the download.
    w.ctx.state.scanning = true;
    w.circle.downloadNext();
    EXPECT_EQ(w.prompter.said.back(), QStringLiteral("Stop scan first."));
}

} // namespace
} // namespace kestrel::test
