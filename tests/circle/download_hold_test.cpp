// Replies left unread while the sink has no room are this program's delay: the
// watchdog must not take the server for silent or slow meanwhile.
#include "circle/circle_fixture.h"

namespace kestrel::test {
namespace {

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

} // namespace
} // namespace kestrel::test
