#include "circle/circle_fixture.h"

#include <set>

#include <QFile>

namespace kestrel::test {
namespace {

enum class Cuts { None, EveryByte, ThreePerSegment };

struct WindowCase {
    const char *name;
    QList<qint64> numbers; // the articles the group holds
    QByteArray lastRead;
    int limit = 0;         // sldMaxPGPS, 0: off
    int maxPending = 3000; // sldMaxPending
    qint64 vanished = 0;   // listed, but gone by the time its HEAD comes (430)
    Cuts cuts = Cuts::None;
    int latencyMs = 0;
};

// What the filter was given, in order: every header becomes a row (rejected ones greyed).
struct Scanned {
    QList<qint64> rows;
    qint32 headers = 0;
    QByteArray lastRead;
    bool error = true;
    bool stoppedFull = false;
    QByteArrayList commands;
};

QList<qint64> range(qint64 from, qint64 to, QList<qint64> except = {})
{
    QList<qint64> out;
    for (qint64 n = from; n <= to; ++n)
        if (!except.contains(n))
            out.append(n);
    return out;
}

void applyCuts(newsd::FaultPlan &faults, Cuts cuts)
{
    if (cuts == Cuts::EveryByte) {
        for (qsizetype at = 1; at < 2000; ++at)
            faults.splitAt.append(at);
        faults.splitPauseMs = 0;
    } else if (cuts == Cuts::ThreePerSegment) {
        faults.repliesPerSegment = 3;
        faults.coalesceWaitMs = 5;
    }
}

// One at a time: a server that does not list article numbers, so the scan steps with
// NEXT and HEAD, and the vanished article is not there at all.
Scanned scan(const WindowCase &c, bool oneAtATime)
{
    CircleWorld w({{kGroup, 1, 100, 0}});
    QList<qint64> numbers = c.numbers;
    if (oneAtATime)
        numbers.removeAll(c.vanished);
    w.serveOnly(numbers);
    newsd::FaultPlan &faults = w.server.faults();
    if (oneAtATime)
        faults.forcedReplies.append({"LISTGROUP", 500, -1});
    else if (c.vanished > 0)
        faults.forcedReplies.append({"HEAD " + QByteArray::number(c.vanished), 430, 1});
    applyCuts(faults, c.cuts);
    faults.latencyMs = c.latencyMs;
    w.favs.setSubItem(0, FavLastRead, c.lastRead);
    w.ctx.settings.setChecked(u"chkXOVER", false);
    w.ctx.settings.setChecked(u"chkOverall", true);
    w.ctx.settings.setNumber(u"sldPipeline", 4);
    w.ctx.settings.setChecked(u"chkMaxPGPS", c.limit > 0);
    w.ctx.settings.setNumber(u"sldMaxPGPS", c.limit);
    w.ctx.settings.setNumber(u"sldMaxPending", c.maxPending);
    w.circle.connectScan();
    Scanned out;
    if (!w.runUntilWait(20000)) {
        ADD_FAILURE() << "the scan did not end";
        return out;
    }
    for (int i = 0; i < w.pending.count(); ++i)
        out.rows.append(*w.pending.entry(i).tag.value());
    out.headers = w.counters.scanHeaderCount;
    out.lastRead = w.favs.getLastRead(kGroup);
    out.error = w.waits.back();
    out.stoppedFull = w.logged(QStringLiteral("Scan Stopped (max pending)."));
    out.commands = w.commands(1);
    return out;
}

// With several HEAD requests on their way, the filter gets the same headers in the same
// order as with one at a time; the limits stop at the same header, and a header gone
// between LISTGROUP and its HEAD is passed over as NEXT would never have found it.
TEST(HeadWindow, ReadsTheSameHeadersInTheSameOrderAsOneAtATime)
{
    const QList<qint64> gaps = range(1, 30, {4, 5, 17});
    const WindowCase cases[] = {
        {"never read, gaps", gaps, ""},
        {"resumed", gaps, "10"},
        {"resumed, last-read article expired", gaps, "5"},
        {"per-group limit", gaps, "", 6},
        {"per-group limit, resumed", gaps, "10", 6},
        {"max pending", gaps, "", 0, 7},
        {"max pending, resumed", gaps, "10", 0, 6},
        {"430 in the middle of a window", gaps, "", 0, 3000, 9},
        {"430 with the per-group limit", gaps, "6", 8, 3000, 9},
        {"cut at every byte", gaps, "10", 0, 3000, 0, Cuts::EveryByte},
        {"three replies per segment", gaps, "", 0, 3000, 20, Cuts::ThreePerSegment},
        {"5 ms round trip, limits", gaps, "", 9, 8, 0, Cuts::None, 5},
    };
    for (const WindowCase &c : cases) {
        SCOPED_TRACE(c.name);
        const Scanned stepped = scan(c, true);
        const Scanned windowed = scan(c, false);
        ASSERT_FALSE(stepped.rows.isEmpty());
        EXPECT_EQ(windowed.rows, stepped.rows);
        EXPECT_EQ(windowed.headers, stepped.headers);
        EXPECT_EQ(windowed.lastRead, stepped.lastRead);
        EXPECT_EQ(windowed.error, stepped.error);
        EXPECT_FALSE(windowed.error);
        EXPECT_EQ(windowed.stoppedFull, stepped.stoppedFull);
        EXPECT_EQ(windowed.stoppedFull, c.maxPending < 30);
        // Stepping is what the server without LISTGROUP got, asked for LISTGROUP once.
        EXPECT_EQ(stepped.commands.count("LISTGROUP " + kGroup + " 1-10000") +
                      stepped.commands.count("LISTGROUP " + kGroup + ' ' + c.lastRead + '-' +
                                             QByteArray::number(c.lastRead.toLongLong() + 9999)),
                  1);
        EXPECT_GT(stepped.commands.count("NEXT"), 0);
        EXPECT_EQ(windowed.commands.count("NEXT"), 0);
    }
}

// The connection goes with HEAD requests on their way: the group's last-read number is
// the last header that arrived, and the next scan reads every later one, none twice.
TEST(HeadWindow, DropWithRequestsOnTheirWayKeepsTheLastHeaderRead)
{
    CircleWorld w({{kGroup, 1, 100, 0}});
    w.serveOnly(range(1, 30));
    w.ctx.settings.setChecked(u"chkXOVER", false);
    w.ctx.settings.setChecked(u"chkOverall", true);
    w.ctx.settings.setNumber(u"sldPipeline", 8);
    QObject::connect(&w.server, &newsd::NewsServer::commandReceived, &w.server,
                     [&w](int connection, const QByteArray &line) {
                         if (connection == 1 && line == "HEAD 12")
                             w.server.faults().silences.append({"HEAD", -1, 1});
                     });
    w.circle.connectScan();
    ASSERT_TRUE(waitUntil([&] { return w.favs.getLastRead(kGroup) == "11"; }));
    // HEAD 12 and the ones after it are asked for and unanswered.
    EXPECT_EQ(w.circle.connections().scan().reader().expectedCount(), 8);
    w.server.dropConnections();
    ASSERT_TRUE(w.runUntilWait());
    EXPECT_TRUE(w.waits.back());
    EXPECT_EQ(w.favs.getLastRead(kGroup), "11");
    EXPECT_EQ(w.counters.scanHeaderCount, 11);
    QList<qint64> queued;
    for (int i = 0; i < w.pending.count(); ++i)
        queued.append(*w.pending.entry(i).tag.value());
    EXPECT_EQ(queued, range(1, 11));
    queued.clear();

    ASSERT_TRUE(w.scanRun());
    EXPECT_FALSE(w.waits.back());
    EXPECT_EQ(w.favs.getLastRead(kGroup), "30");
    // Only the last-read article comes again (filtered, not counted as new).
    EXPECT_EQ(w.counters.scanHeaderCount, 19);
    for (int i = 0; i < w.pending.count(); ++i)
        if (const qint64 n = *w.pending.entry(i).tag.value(); !queued.contains(n))
            queued.append(n);
    EXPECT_EQ(queued, range(1, 30));
    EXPECT_LE(w.pending.count(), 31);
}

// HEAD mode, where the last-read article has expired before each run: every run reads
// on from the first article after it, with or without the per-group limit and whether
// or not the server lists article numbers (LISTGROUP), and never asks for an older
// header again.
TEST(HeadResume, ExpiredLastReadArticleResumesAfterIt)
{
    const struct {
        const char *name;
        int limit; // sldMaxPGPS, 0: off
        bool listGroupRefused;
    } cases[] = {
        {"no limit", 0, false},
        {"limit", 5, false},
        {"no limit, no LISTGROUP", 0, true},
        {"limit, no LISTGROUP", 5, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        CircleWorld w({{kGroup, 1, 60, 0}});
        std::set<qint64> held;
        for (qint64 n = 1; n <= 40; ++n)
            if (n < 10 || n >= 15) // expired: 10 to 14, the last-read one among them
                held.insert(n);
        const auto store = w.serveOnly({held.begin(), held.end()});
        if (c.listGroupRefused)
            w.server.faults().forcedReplies.append({"LISTGROUP", 500, -1});
        w.favs.setSubItem(0, FavLastRead, "10");
        w.ctx.settings.setChecked(u"chkXOVER", false);
        w.ctx.settings.setChecked(u"chkMaxPGPS", c.limit > 0);
        w.ctx.settings.setNumber(u"sldMaxPGPS", c.limit);

        qint64 lastRead = 10;
        for (int run = 0; run < 8 && lastRead < 40; ++run) {
            SCOPED_TRACE(run);
            w.server.clearTranscript();
            ASSERT_TRUE(w.scanRun());
            const qint64 now = w.favs.getLastRead(kGroup).toLongLong();
            ASSERT_GT(now, lastRead);
            const auto fresh = std::distance(held.upper_bound(lastRead), held.upper_bound(now));
            // One HEAD per new header, and the one of the expired last-read article.
            EXPECT_LE(w.count(w.commands(1), "HEAD"), fresh + 1);
            EXPECT_LE(fresh, c.limit > 0 ? c.limit : 40);
            EXPECT_EQ(w.counters.scanHeaderCount, fresh);
            // The next run finds this last-read article expired too.
            QFile::remove(w.folder.path() + "/spool/" + QString::fromLatin1(kGroup) + u'/' +
                          QString::number(now));
            held.erase(now);
            store->rescan();
            lastRead = now;
        }
        EXPECT_EQ(lastRead, 40);
    }
}

} // namespace
} // namespace kestrel::test
