#include "circle/circle_fixture.h"

#include <map>

namespace kestrel::test {
namespace {

void setUpXover(CircleWorld &w, int window)
{
    w.useXover(20);
    w.ctx.settings.setNumber(u"sldPipeline", window);
}

// The server writes each overview listing a while after its status line, so that a
// command sent on the status line reaches it before the listing's lines reach the scan.
void holdListings(CircleWorld &w)
{
    w.server.faults().splitAt = {1000000};
    w.server.faults().splitPauseMs = 300;
}

QByteArrayList pendingTags(const CircleWorld &w)
{
    QByteArrayList tags;
    for (int i = 0; i < w.pending.count(); ++i)
        tags.append(w.pending.entry(i).tag.text(0));
    return tags;
}

// The last-read number of the group when the server received each XOVER.
std::map<QByteArray, QByteArray> lastReadAtEachRange(CircleWorld &w)
{
    auto seen = std::make_shared<std::map<QByteArray, QByteArray>>();
    QObject::connect(&w.server, &newsd::NewsServer::commandReceived, &w.server,
                     [&w, seen](int, const QByteArray &line) {
                         if (line.startsWith("XOVER"))
                             (*seen)[line] = w.favs.getLastRead(kGroup);
                     });
    w.circle.connectScan();
    EXPECT_TRUE(w.runUntilWait(10000));
    return *seen;
}

// With requests on their way allowed, the next range goes out when the answer to the
// one before begins, before its lines reach the filter; one at a time, after them.
TEST(ScanXoverAhead, NextRangeGoesOutBeforeTheLinesBeforeAreFiltered)
{
    const struct {
        int window;
        QByteArray lastReadAtSecond; // when "XOVER 21-41" arrives
        QByteArray lastReadAtThird;  // when "XOVER 41-61" arrives
    } cases[] = {
        {1, "21", "41"},
        {8, "1", "21"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.window);
        CircleWorld w({{kGroup, 1, 60, 0}});
        setUpXover(w, c.window);
        holdListings(w);
        const std::map<QByteArray, QByteArray> seen = lastReadAtEachRange(w);
        EXPECT_EQ(seen.at("XOVER 21-41"), c.lastReadAtSecond);
        EXPECT_EQ(seen.at("XOVER 41-61"), c.lastReadAtThird);
        EXPECT_EQ(w.favs.getLastRead(kGroup), "60");
        EXPECT_EQ(w.counters.scanHeaderCount, 60);
    }
}

struct Outcome {
    QByteArrayList commands;
    QByteArrayList tags;
    QByteArray lastRead;
    qint32 headers = 0;
    QStringList log;
};

Outcome scanWithWindow(int window, const std::function<void(CircleWorld &)> &setup)
{
    CircleWorld w({{kGroup, 1, 90, 0}});
    setUpXover(w, window);
    setup(w);
    w.circle.connectScan();
    EXPECT_TRUE(w.runUntilWait());
    // The answer to QUIT is logged when it arrives: wait for it, or the two logs differ
    // by whether it came in time.
    EXPECT_TRUE(waitUntil([&] { return w.commands(1).last() == "QUIT" && w.log.last() == "Bye"; }, 2000));
    return {w.commands(1), pendingTags(w), w.favs.getLastRead(kGroup), w.counters.scanHeaderCount, w.log};
}

// Ranges asked for early change nothing the scan does: the same commands in the same
// order, the same headers queued in the same order, the same last-read number, count
// and log, whatever answers the ranges get in the middle of the group.
TEST(ScanXoverAhead, ScanReadsWhatOneRangeAtATimeReads)
{
    auto force = [](QByteArray command, int code) {
        return [command, code](CircleWorld &w) {
            w.server.faults().emptyRangeCode = code == 502 ? 423 : code;
            w.server.faults().forcedReplies.append({command, code, 1});
        };
    };
    const struct {
        const char *name;
        std::function<void(CircleWorld &)> setup;
        QByteArray lastRead;
    } cases[] = {
        {"plain", [](CircleWorld &) {}, "90"},
        {"423 to a range asked early", force("XOVER 21-41", 423), "90"},
        {"420 to a range asked early", force("XOVER 41-61", 420), "90"},
        {"502 to a range asked early", force("XOVER 21-41", 502), "90"},
        {"per-group limit",
         [](CircleWorld &w) {
             w.ctx.settings.setChecked(u"chkMaxPGPS", true);
             w.ctx.settings.setNumber(u"sldMaxPGPS", 50);
         },
         "61"},
        {"pending list fills", [](CircleWorld &w) { w.ctx.settings.setNumber(u"sldMaxPending", 30); }, ""},
        {"replies cut into pieces",
         [](CircleWorld &w) {
             w.server.faults().splitAt = {1, 5, 30, 200};
             w.server.faults().splitPauseMs = 0;
         },
         "90"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const Outcome one = scanWithWindow(1, c.setup);
        const Outcome ahead = scanWithWindow(8, c.setup);
        EXPECT_EQ(ahead.commands, one.commands);
        EXPECT_EQ(ahead.tags, one.tags);
        EXPECT_EQ(ahead.lastRead, one.lastRead);
        EXPECT_EQ(ahead.headers, one.headers);
        EXPECT_EQ(ahead.log, one.log);
        EXPECT_GT(one.tags.size(), 0);
        EXPECT_TRUE(c.lastRead.isEmpty() || one.lastRead == c.lastRead) << one.lastRead.constData();
    }
}

// The connection goes, or the user stops the scan, while the lines of 21-41 are on
// their way and 41-61 has been asked for: the last-read number is that of the last
// header filtered, and nothing of the range asked for early is queued.
TEST(ScanXoverAhead, RangeOnItsWayIsNotCountedAsRead)
{
    const struct {
        const char *name;
        bool drop;
        QByteArray lastRead;
        QString logLine;
    } cases[] = {
        {"connection dropped", true, "21", QStringLiteral("Scan Cut Short (connection lost).")},
        {"scan stopped", false, "41", QStringLiteral("Scan Aborted by user.")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        CircleWorld w({{kGroup, 1, 90, 0}});
        setUpXover(w, 8);
        holdListings(w);
        QObject::connect(&w.server, &newsd::NewsServer::commandReceived, &w.server,
                         [&w, &c](int, const QByteArray &line) {
                             if (line != "XOVER 41-61")
                                 return;
                             if (c.drop)
                                 QMetaObject::invokeMethod(
                                     &w.server, [&w] { w.server.dropConnections(); }, Qt::QueuedConnection);
                             else
                                 w.circle.stopScan();
                         });
        w.circle.connectScan();
        ASSERT_TRUE(waitUntil([&] { return w.circle.connections().scan().socket().isClosed(); }, 10000));
        waitUntil([] { return false; }, 100);
        EXPECT_TRUE(w.logged(c.logLine));
        EXPECT_EQ(w.favs.getLastRead(kGroup), c.lastRead);
        EXPECT_LE(w.highestTag(), c.lastRead.toLongLong());
        EXPECT_GT(w.pending.count(), 0);
        EXPECT_FALSE(w.ctx.state.scanning);
    }
}

} // namespace
} // namespace kestrel::test
