// The download with a sink that files the articles later, as the decode worker makes
// it: articles handed over and not yet filed are never lost nor filed twice.
#include "circle/circle_fixture.h"

namespace kestrel::test {
namespace {

const QByteArrayList kSix{"p3.jpg", "p4.jpg", "p5.jpg", "p6.jpg", "p7.jpg", "p8.jpg"};

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
        w.circle.downloadNext();
        ASSERT_TRUE(w.runUntilWait());
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

} // namespace
} // namespace kestrel::test
