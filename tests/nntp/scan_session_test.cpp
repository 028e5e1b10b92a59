#include "circle_fixture.h"

namespace kestrel::test {
namespace {

TEST(ScanSession, XoverScanFiltersEveryArticleAndRemembersTheLast)
{
    CircleWorld w;
    w.ctx.settings.setChecked(u"chkXOVER", true);
    w.circle.ConnectScan();
    ASSERT_TRUE(w.runUntilWait());
    EXPECT_FALSE(w.waits.back());
    EXPECT_EQ(w.favs.GetLastRead("alt.binaries.pictures.test"), "40");
    EXPECT_EQ(w.counters.ReadCount, 40);
    EXPECT_EQ(w.counters.ScanHeaderCount, 40);
    EXPECT_TRUE(w.logged(QStringLiteral("Scan Complete. 40 headers read in")));
}

} // namespace
} // namespace kestrel::test
