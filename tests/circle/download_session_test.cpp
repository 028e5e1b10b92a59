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
    w.circle.downloadNext();
    ASSERT_TRUE(w.runUntilWait());
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
    w.circle.downloadNext();
    ASSERT_TRUE(w.runUntilWait(3000));
    EXPECT_TRUE(w.logged(QStringLiteral("Error, no such news group a.missing")));
    EXPECT_EQ(w.fetched(), (QByteArrayList{"p3.jpg", "p4.jpg"}));
    EXPECT_EQ(w.texts(), (QByteArrayList{"m2.jpg", "m5.jpg"}));
}

// Only "no such article" drops the article at once and goes on. Any other refusal
// keeps it at the head of the list and ends the run there; 400 also closes the
// connection through the emergency reconnect. Either way the next run fetches what
// is left, in order.
TEST(DownloadSession, RefusalsThatMayPassKeepTheArticleForTheNextRun)
{
    const struct {
        int code;
        bool kept;
        QString logLine;
    } cases[] = {
        {400, true,
         QStringLiteral("Article p3.jpg: server answered 400 Service temporarily unavailable; kept for the "
                        "next run.")},
        {403, true,
         QStringLiteral("Article p3.jpg: server answered 403 Internal fault; kept for the next run.")},
        {436, true,
         QStringLiteral("Article p3.jpg: server answered 436 Forced reply; kept for the next run.")},
        {503, true,
         QStringLiteral("Article p3.jpg: server answered 503 Not supported; kept for the next run.")},
        {500, true,
         QStringLiteral("Article p3.jpg: server answered 500 Unknown command; kept for the next run.")},
        {599, true,
         QStringLiteral("Article p3.jpg: server answered 599 Forced reply; kept for the next run.")},
        {423, false, QStringLiteral("bad article number!")},
        {430, false, QStringLiteral("Article not available: p3.jpg (430 No article with that message-id)")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.code);
        CircleWorld w({{"a.one", 1, 10, 0}});
        // With restarts allowed the emergency reconnect shows itself in the log.
        w.ctx.settings.setChecked(u"chkAllowRestart", c.code == 400);
        w.server.faults().forcedReplies.append({"BODY", c.code, 1});
        w.addPending("a.one", 3, "p3.jpg");
        w.addPending("a.one", 4, "p4.jpg");
        w.circle.downloadNext();
        if (c.code == 400) {
            ASSERT_TRUE(waitUntil(
                [&] { return w.logged(QStringLiteral("Emergency Reconnect in 90 seconds.")); }, 3000));
            EXPECT_FALSE(w.circle.connections().download().socket().isConnected());
        } else {
            ASSERT_TRUE(w.runUntilWait(3000));
            EXPECT_EQ(w.waits.back(), c.kept);
        }
        EXPECT_TRUE(w.logged(c.logLine));
        EXPECT_EQ(w.fetched(), c.kept ? QByteArrayList{} : QByteArrayList{"p4.jpg"});
        EXPECT_EQ(w.texts(), c.kept ? (QByteArrayList{"p3.jpg", "p4.jpg"}) : QByteArrayList{});
        EXPECT_FALSE(w.ctx.state.articleInHand);
        EXPECT_EQ(w.ctx.state.downloadState, DownloadState::Idle);
        EXPECT_FALSE(w.noRedl.contains("p3.jpg"));
        if (!c.kept)
            continue;

        w.circle.downloadNext();
        ASSERT_TRUE(w.runUntilWait(3000));
        EXPECT_FALSE(w.waits.back());
        EXPECT_EQ(w.fetched(), (QByteArrayList{"p3.jpg", "p4.jpg"}));
        EXPECT_TRUE(w.texts().isEmpty());
    }
}

// Emergency reconnects and refusals that may pass count together, per article: the
// third failure drops it, and the next run goes on with the rest.
TEST(DownloadSession, ThirdFailedAttemptDropsTheArticle)
{
    const struct {
        const char *name;
        QList<int> codes;
        QString logLine;
    } cases[] = {
        {"436 three times",
         {436, 436, 436},
         QStringLiteral("Dropped after 3 failed attempts: p3.jpg (436 Forced reply)")},
        {"mixed",
         {400, 403, 503},
         QStringLiteral("Dropped after 3 failed attempts: p3.jpg (503 Not supported)")},
        {"400 last",
         {436, 403, 400},
         QStringLiteral("Dropped after 3 failed attempts: p3.jpg (400 Service temporarily unavailable)")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        CircleWorld w({{"a.one", 1, 10, 0}});
        for (const int code : c.codes)
            w.server.faults().forcedReplies.append({"BODY 3", code, 1});
        w.addPending("a.one", 3, "p3.jpg");
        w.addPending("a.one", 4, "p4.jpg");
        for (qsizetype attempt = 1; attempt <= c.codes.size(); ++attempt) {
            SCOPED_TRACE(attempt);
            w.circle.downloadNext();
            ASSERT_TRUE(w.runUntilWait(3000));
            EXPECT_TRUE(w.waits.back());
            EXPECT_EQ(w.texts(),
                      attempt < 3 ? (QByteArrayList{"p3.jpg", "p4.jpg"}) : QByteArrayList{"p4.jpg"});
            EXPECT_EQ(w.logged(c.logLine), attempt == 3);
        }
        EXPECT_TRUE(w.sink.articles.empty());
        EXPECT_FALSE(w.noRedl.contains("p3.jpg"));
        w.circle.downloadNext();
        ASSERT_TRUE(w.runUntilWait(3000));
        EXPECT_EQ(w.fetched(), QByteArrayList{"p4.jpg"});
        EXPECT_EQ(w.count(w.commands(), "BODY  3"), 3);
    }
}

// The scan stops as soon as the pending list is full, and the download run starts.
TEST(DownloadSession, MaxPendingStopsTheScanAndStartsTheDownload)
{
    CircleWorld w({{"a.one", 1, 200, 0}, {"a.two", 1, 50, 0}});
    w.ctx.settings.setChecked(u"chkXOVER", true);
    w.ctx.settings.setNumber(u"sldXOVER", 20);
    w.ctx.settings.setNumber(u"sldMaxPending", 5);
    w.ctx.settings.setChecked(u"chkAutodownload", true);
    int queuedAtStop = -1;
    QObject::connect(&w.ctx.log, &OperationsLog::logged, &w.circle, [&](const QString &, const QString &m) {
        if (m.startsWith(u"Scan Stopped (max pending)."))
            queuedAtStop = w.ctx.state.pendingCount;
    });
    w.circle.connectScan();
    ASSERT_TRUE(w.runUntilWait());
    EXPECT_GE(queuedAtStop, 5);
    EXPECT_EQ(int(w.sink.articles.size()), queuedAtStop);
    EXPECT_EQ(w.count(w.commands(1), "GROUP a.two"), 0);
    EXPECT_EQ(w.count(w.commands(1), "XOVER"), 1);
    EXPECT_FALSE(w.ctx.state.scanning);
}

// The connection goes silent in the middle of an article. The watchdog's emergency
// reconnect puts the article back on the list, as a user's abort does, but only
// twice: the third emergency on the same article drops it.
TEST(DownloadSession, EmergencyReconnectRequeuesTheArticleUpToThreeTimes)
{
    CircleWorld w({{"a.one", 1, 10, 0}});
    w.ctx.settings.setChecked(u"chkAllowRestart", true);
    w.server.faults().silences.append({"BODY", -1, 3});
    w.addPending("a.one", 3, "p3.jpg");
    for (int attempt = 1; attempt <= 3; ++attempt) {
        SCOPED_TRACE(attempt);
        w.log.clear(); // each attempt must say so again
        w.circle.downloadNext();
        ASSERT_TRUE(waitUntil([&] { return w.count(w.commands(), "BODY") == attempt; }, 3000));
        w.clock.advanceMsecs(61'000);
        w.circle.connections().watchdogTick(w.circle.connections().download());
        EXPECT_TRUE(w.logged(QStringLiteral("Download connection silent for more than 60 seconds.")));
        EXPECT_TRUE(w.logged(QStringLiteral("Emergency Reconnect in 90 seconds.")));
        EXPECT_EQ(w.ctx.state.rescanCountdown, 90);
        EXPECT_EQ(w.ctx.state.downloadState, DownloadState::Idle);
        EXPECT_FALSE(w.ctx.state.articleInHand);
        EXPECT_EQ(w.texts(), attempt < 3 ? QByteArrayList{"p3.jpg"} : QByteArrayList{});
    }
    EXPECT_TRUE(w.logged(QStringLiteral("Dropped after 3 failed attempts: p3.jpg")));
}

// A server that hangs up in the middle of an article: the article goes back on the
// list and the next run fetches it whole.
TEST(DownloadSession, ArticleCutOffByTheServerIsFetchedAgain)
{
    CircleWorld w({{"a.one", 1, 10, 0}});
    w.server.faults().dropArticleAfterBytes = 200;
    w.addPending("a.one", 3, "p3.jpg");
    w.circle.downloadNext();
    ASSERT_TRUE(w.runUntilWait());
    EXPECT_TRUE(w.waits.back());
    EXPECT_TRUE(w.logged(QStringLiteral("The news server closed the connection.")));
    EXPECT_EQ(w.texts(), QByteArrayList{"p3.jpg"});
    EXPECT_TRUE(w.sink.articles.empty());
    w.circle.downloadNext();
    ASSERT_TRUE(w.runUntilWait());
    ASSERT_EQ(w.sink.articles.size(), 1u);
    EXPECT_TRUE(w.sink.articles[0].articleBuffer.endsWith("\r\n.\r\n"));
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
