#include "circle/circle_fixture.h"

#include <QFileInfo>

namespace kestrel::test {
namespace {

// A server that accepts and then says nothing (no greeting), or greets and then goes
// quiet: the watchdog leaves it alone for sldTimeout seconds, reconnects on the first
// tick past that, and says why.
TEST(Watchdog, SilenceBeforeOrAfterTheGreeting)
{
    struct Case {
        const char *name;
        newsd::Silence silence;
        bool allowRestart;
        QString reason;
    };
    const QString noAnswer =
        QStringLiteral("Scan connection: no answer from the news server within 60 seconds.");
    const newsd::Silence noGreeting{QByteArray(), -1, 1};
    const Case cases[] = {
        {"no greeting, restart", noGreeting, true, noAnswer},
        {"no greeting, no restart", noGreeting, false, noAnswer},
        {"silent GROUP, restart", {"GROUP", -1, 1}, true, "Scan connection silent for more than 60 seconds."},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        CircleWorld w;
        w.ctx.settings.setChecked(u"chkAllowRestart", c.allowRestart);
        w.server.faults().silences.append(c.silence);
        w.circle.connectScan();
        const QByteArray verb = c.silence.command;
        ASSERT_TRUE(waitUntil([&] {
            return verb.isEmpty() ? w.circle.connections().scan().socket().isConnected()
                                  : w.count(w.commands(1), verb) == 1;
        }));
        Connections &conn = w.circle.connections();
        SessionConnection &scan = conn.scan();
        EXPECT_TRUE(scan.watchdog().isActive());
        w.clock.advanceMsecs(60'000);
        conn.watchdogTick(scan);
        EXPECT_TRUE(scan.socket().isConnected());
        w.clock.advanceMsecs(1'000);
        conn.watchdogTick(scan);
        EXPECT_TRUE(w.logged(c.reason));
        EXPECT_TRUE(scan.socket().isClosed());
        EXPECT_FALSE(scan.watchdog().isActive());
        EXPECT_FALSE(w.ctx.state.scanning);
        EXPECT_EQ(w.ctx.state.rescanArmed, c.allowRestart);
        EXPECT_EQ(w.circle.countdown().running(), c.allowRestart);
        EXPECT_EQ(w.logged(QStringLiteral("Emergency Reconnect in 90 seconds.")), c.allowRestart);
        if (c.allowRestart) {
            EXPECT_EQ(w.ctx.state.rescanCountdown, 90);
            EXPECT_TRUE(w.waits.empty());
        } else {
            EXPECT_EQ(w.waits, std::vector<bool>{true});
        }
    }
}

// A server that is never silent but sends its reply a few bytes at a time: once the
// reply has come slower than the minimum rate for longer than sldTimeout, the watchdog
// takes its path; a reply at a sound pace is left alone however long it takes.
TEST(Watchdog, TricklingReplyIsCutOff)
{
    const struct {
        const char *name;
        QByteArray command;
        int bytesPerPiece;
        bool cutOff;
    } cases[] = {
        {"scan, overview a byte at a time", "XOVER", 1, true},
        {"download, article a byte at a time", "BODY", 1, true},
        {"download, article at 2 KB a second", "BODY", 2048, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        CircleWorld w;
        w.ctx.settings.setChecked(u"chkAllowRestart", true);
        w.ctx.settings.setChecked(u"chkXOVER", true);
        newsd::FaultPlan &faults = w.server.faults();
        faults.trickleCommand = c.command;
        faults.trickleBytes = c.bytesPerPiece;
        faults.tricklePauseMs = 2;
        const bool scan = c.command == "XOVER";
        if (scan) {
            w.circle.connectScan();
        } else {
            w.addPending("alt.binaries.pictures.test", 3, "p3.jpg");
            w.circle.downloadNext();
        }
        Connections &conn = w.circle.connections();
        SessionConnection &s = scan ? conn.scan() : conn.download();
        ASSERT_TRUE(waitUntil([&] { return s.midReply(); }));
        // One second of the clock for each piece that arrives, as on the wire.
        for (int second = 0; second < 200 && s.socket().isConnected() && w.sink.articles.empty(); ++second) {
            const qint64 before = s.rateWindowBytes();
            w.clock.advanceMsecs(1000);
            waitUntil([&] { return s.rateWindowBytes() != before || !s.midReply(); }, 1000);
            conn.watchdogTick(s);
        }
        EXPECT_EQ(w.logged(s.roleName() + QStringLiteral(" connection too slow:")), c.cutOff);
        EXPECT_TRUE(s.socket().isClosed() || !c.cutOff);
        EXPECT_EQ(w.ctx.state.rescanArmed, c.cutOff);
        EXPECT_EQ(w.sink.articles.empty(), scan || c.cutOff);
        EXPECT_FALSE(w.logged(QStringLiteral("silent for more than")));
    }
}

// Replies left unread while the sink has no room are this program's delay: the
// watchdog must not take the server for silent or slow meanwhile.
TEST(Watchdog, RepliesHeldBackForAFullSinkAreNeitherSilenceNorASlowReply)
{
    CircleWorld w({{"a.one", 1, 10, 0}});
    w.ctx.settings.setChecked(u"chkAllowRestart", true);
    w.sink.later = true;
    w.sink.room = 1;
    const QByteArrayList names = w.queueNumbered(3, 5);
    w.circle.downloadNext();
    Connections &conn = w.circle.connections();
    SessionConnection &download = conn.download();
    ASSERT_TRUE(
        waitUntil([&] { return w.sink.taken.size() == 1 && download.reader().buffered() > 0; }, 3000));

    // Two minutes pass on a slow disk; the server said all it had to say long ago.
    for (int second = 0; second < 120; ++second) {
        w.clock.advanceMsecs(1000);
        conn.watchdogTick(download);
    }
    EXPECT_FALSE(w.logged(QStringLiteral("silent for more than")));
    EXPECT_FALSE(w.logged(QStringLiteral("too slow")));
    EXPECT_TRUE(download.socket().isConnected());

    for (int filed = 0; filed < 3; ++filed) {
        ASSERT_TRUE(waitUntil([&] { return w.sink.taken.size() == 1; }, 3000));
        w.sink.report(SinkResult::Done);
    }
    EXPECT_EQ(w.fetched(), names);
    // The last one filed ends the run, without an error.
    EXPECT_EQ(w.waits, std::vector<bool>{false});
}

TEST(Watchdog, DisarmedTimerStopsAndScanConnectionIsLeftAloneDuringADownload)
{
    CircleWorld w;
    Connections &conn = w.circle.connections();
    conn.scan().watchdog().start();
    conn.watchdogTick(conn.scan());
    EXPECT_FALSE(conn.scan().watchdog().isActive());

    w.ctx.settings.setChecked(u"chkAllowRestart", true);
    w.ctx.state.downloadState = DownloadState::GroupSelected;
    conn.emergencyReconnect(conn.scan());
    EXPECT_TRUE(w.log.isEmpty());
    EXPECT_FALSE(w.ctx.state.rescanArmed);
}

struct Countdown : CircleWorld {
    Countdown()
    {
        QDir(folder.path()).mkpath(QStringLiteral("sfx"));
        for (int i = 0; i <= 12; ++i)
            folder.write(QStringLiteral("sfx/%1.wav").arg(i), "RIFF");
        ctx.settings.setChecked(u"chkSFX", true);
    }
};

TEST(RescanCountdown, CountsDownWithSoundsAndConnects)
{
    Countdown w;
    RescanCountdown &cd = w.circle.countdown();
    cd.arm(12);
    QStringList sounds;
    for (int i = 0; i < 11; ++i) {
        cd.tick();
        sounds.append(QFileInfo(w.ctx.sound.lastPlayed()).fileName());
        EXPECT_TRUE(w.server.connectionsAccepted() == 0);
    }
    EXPECT_EQ(w.ctx.log.statusLine(), QStringLiteral("Rescan in 1 seconds (hit X to abort)"));
    EXPECT_EQ(sounds, (QStringList{"", "10.wav", "9.wav", "8.wav", "7.wav", "6.wav", "5.wav", "4.wav",
                                   "3.wav", "2.wav", "1.wav"}));
    cd.tick();
    EXPECT_FALSE(cd.running());
    EXPECT_FALSE(w.ctx.state.rescanArmed);
    EXPECT_TRUE(w.logged(QStringLiteral("Connecting...")));
    EXPECT_EQ(QFileInfo(w.ctx.sound.lastPlayed()).fileName(), QStringLiteral("1.wav"));
    ASSERT_TRUE(w.runUntilWait());
    EXPECT_FALSE(w.waits.back());
}

TEST(RescanCountdown, CancelledByAConnectStoppedByTheStopButton)
{
    {
        Countdown w;
        w.circle.countdown().arm(30);
        w.ctx.state.rescanArmed = false; // what a manual connect does
        w.circle.countdown().tick();
        EXPECT_TRUE(w.logged(QStringLiteral("Re-scan countdown cancelled by user.")));
        EXPECT_FALSE(w.circle.countdown().running());
        EXPECT_EQ(w.ctx.state.rescanCountdown, 30);
    }
    {
        Countdown w;
        w.ctx.settings.setNumber(u"sldRescan", 45);
        w.circle.countdown().arm(20);
        w.circle.countdown().tick();
        w.circle.stopScan();
        EXPECT_FALSE(w.circle.countdown().running());
        EXPECT_FALSE(w.ctx.state.rescanArmed);
        EXPECT_EQ(w.ctx.state.rescanCountdown, 45);
        EXPECT_TRUE(w.log.isEmpty());
    }
}

TEST(ScanDriver, StopButtonEndsARunningScan)
{
    CircleWorld w({{"a.one", 1, 5, 0}, {"a.two", 1, 5, 0}});
    w.server.faults().silences.append({"GROUP", 300, 1});
    w.circle.connectScan();
    ASSERT_TRUE(waitUntil([&] { return w.count(w.commands(1), "GROUP") == 1; }));
    w.counters.scanHeaderCount = 7;
    w.circle.stopScan();
    EXPECT_FALSE(w.ctx.state.scanning);
    EXPECT_TRUE(
        w.logged(QStringLiteral("Scan Aborted by user. 7 headers read in 0 seconds, averaging 0.0 headers "
                                "per minute.")));
    // The late answer to GROUP and the goodbye close the connection; a scan still
    // running would now report a lost connection or ask for the next group.
    ASSERT_TRUE(waitUntil([&] { return w.circle.connections().scan().socket().isClosed(); }));
    waitUntil([] { return false; }, 100);
    EXPECT_TRUE(w.waits.empty());
    EXPECT_EQ(w.count(w.commands(1), "GROUP"), 1);
}

} // namespace
} // namespace kestrel::test
