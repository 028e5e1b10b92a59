#include "circle/circle_fixture.h"

namespace kestrel::test {
namespace {

// Calls act(w) when the server receives the n-th command starting with prefix, before
// it answers it.
void onCommand(CircleWorld &w, const QByteArray &prefix, int n, std::function<void(CircleWorld &)> act)
{
    auto seen = std::make_shared<int>(0);
    QObject::connect(&w.server, &newsd::NewsServer::commandReceived, &w.server,
                     [&w, prefix, n, seen, act](int, const QByteArray &line) {
                         if (line.startsWith(prefix) && ++*seen == n)
                             act(w);
                     });
}

// Closes every connection once the command that set it off has been taken (and, with a
// silence, left unanswered).
void dropAll(CircleWorld &w)
{
    QMetaObject::invokeMethod(
        &w.server, [&w] { w.server.dropConnections(); }, Qt::QueuedConnection);
}

// The connection goes (closed by the server, or silent past the watchdog) while the
// last favourite group is half read, or while its GROUP is out: the scan ends cut short,
// reported as an error, sends nothing more, and the group keeps the last-read number of
// the last header that arrived.
TEST(ScanCutShort, LostOrSilentInTheLastGroup)
{
    const struct {
        const char *name;
        bool xover;
        bool silent;
        QByteArray trigger; // the command the connection goes at
        int nth;
        QByteArray lastReadAfter;
    } cases[] = {
        // The first group takes one XOVER, or three HEAD commands.
        {"xover, closed", true, false, "XOVER", 3, "21"}, {"xover, silent", true, true, "XOVER", 3, "21"},
        {"head, closed", false, false, "HEAD", 8, "4"},   {"head, silent", false, true, "HEAD", 8, "4"},
        {"GROUP, closed", true, false, "GROUP", 2, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        CircleWorld w({{"a.first", 1, 3, 0}, {kGroup, 1, 40, 0}});
        w.ctx.settings.setChecked(u"chkXOVER", c.xover);
        w.ctx.settings.setNumber(u"sldXOVER", 20);
        // One HEAD on its way at a time: the header before the trigger has been read when
        // the connection goes (a drop with several on their way: HeadWindow).
        w.ctx.settings.setNumber(u"sldPipeline", 1);
        onCommand(w, c.trigger, c.nth, [&c](CircleWorld &w) {
            w.server.faults().silences.append({c.trigger, -1, 1});
            if (!c.silent)
                dropAll(w);
        });
        w.circle.connectScan();
        Connections &conn = w.circle.connections();
        if (c.silent) {
            ASSERT_TRUE(waitUntil([&] { return w.count(w.commands(1), c.trigger) == c.nth; }));
            w.clock.advanceMsecs(61'000);
            for (int tick = 0; tick < 3; ++tick)
                conn.watchdogTick(conn.scan());
        }
        ASSERT_TRUE(w.runUntilWait());
        EXPECT_EQ(w.waits, std::vector<bool>{true});
        EXPECT_TRUE(w.logged(QStringLiteral("Scan Cut Short (connection lost).")));
        EXPECT_FALSE(w.logged(QStringLiteral("Scan Complete")));
        EXPECT_EQ(w.logged(QStringLiteral("The news server closed the connection.")), !c.silent);
        EXPECT_EQ(w.count(w.commands(1), c.trigger), c.nth);
        EXPECT_EQ(w.timesLogged(QStringLiteral("silent for more than")), c.silent ? 1 : 0);
        EXPECT_EQ(w.favs.getLastRead("a.first"), "3");
        EXPECT_EQ(w.favs.getLastRead(kGroup), c.lastReadAfter);
        EXPECT_FALSE(w.ctx.state.scanning);
        EXPECT_TRUE(w.ctx.display.scanEnabled());
    }
}

// With the emergency restart on, the articles of the groups read are fetched at once;
// a restart that comes due meanwhile waits for the download run, and the new scan
// starts after it.
TEST(ScanCutShort, RestartWaitsForTheDownloadRun)
{
    CircleWorld w({{kGroup, 1, 40, 0}});
    w.useXover(20);
    w.ctx.settings.setChecked(u"chkAllowRestart", true);
    w.ctx.settings.setChecked(u"chkAutodownload", true);
    onCommand(w, "XOVER", 2, [](CircleWorld &w) {
        w.server.faults().silences.append({"XOVER", -1, 1});
        dropAll(w);
    });
    // The first article stays on its way until the countdown has run out.
    w.server.faults().silences.append({"BODY", 400, 1});
    w.circle.connectScan();
    ASSERT_TRUE(waitUntil([&] { return w.count(w.commands(), "BODY") == 1; }));
    EXPECT_TRUE(w.logged(QStringLiteral("Scan Cut Short (connection lost).")));
    EXPECT_TRUE(w.logged(QStringLiteral("Emergency Reconnect in 90 seconds.")));
    ASSERT_TRUE(w.ctx.state.rescanArmed);
    const int connections = w.server.connectionsAccepted();
    w.ctx.state.rescanCountdown = 1;
    w.circle.countdown().tick();
    EXPECT_TRUE(w.logged(QStringLiteral("Rescan waits for the download run to end.")));
    EXPECT_EQ(w.server.connectionsAccepted(), connections);

    ASSERT_TRUE(waitUntil([&] { return !w.waits.empty(); }, 15000));
    EXPECT_EQ(w.waits, std::vector<bool>{false});
    EXPECT_TRUE(w.prompter.said.empty());
    EXPECT_GT(w.sink.articles.size(), 0u);
    EXPECT_EQ(w.pending.count(), 0);
    EXPECT_EQ(w.favs.getLastRead(kGroup), "40");
    // The restart scanned after the first run: scan, download, scan, download.
    QList<int> order;
    for (const auto &e : w.server.transcript())
        if (e.line.startsWith("GROUP") && (order.isEmpty() || order.last() != e.connection))
            order.append(e.connection);
    EXPECT_EQ(order.size(), 4);
}

} // namespace
} // namespace kestrel::test
