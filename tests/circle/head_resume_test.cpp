#include "circle/circle_fixture.h"

#include "newsd/folder_store.h"

#include <QFile>

#include <set>

namespace kestrel::test {
namespace {

const QByteArray kGroup = "alt.binaries.pictures.test";

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
        const QString spool = w.folder.path() + QStringLiteral("/spool");
        std::set<qint64> held;
        for (qint64 n = 1; n <= 40; ++n) {
            if (n >= 10 && n < 15)
                continue; // expired, the last-read one (10) among them
            ASSERT_TRUE(newsd::FolderStore::writeArticle(spool, kGroup, n, w.store->article(kGroup, n)));
            held.insert(n);
        }
        auto store = std::make_shared<newsd::FolderStore>(spool);
        w.server.setStore(store);
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
            w.circle.connectScan();
            ASSERT_TRUE(w.runUntilWait());
            const qint64 now = w.favs.getLastRead(kGroup).toLongLong();
            ASSERT_GT(now, lastRead);
            const auto fresh = std::distance(held.upper_bound(lastRead), held.upper_bound(now));
            // One HEAD per new header, and the one of the expired last-read article.
            EXPECT_LE(w.count(w.commands(1), "HEAD"), fresh + 1);
            EXPECT_LE(fresh, c.limit > 0 ? c.limit : 40);
            EXPECT_EQ(w.counters.scanHeaderCount, fresh);
            // The next run finds this last-read article expired too.
            QFile::remove(spool + QLatin1Char('/') + QString::fromLatin1(kGroup) + QLatin1Char('/') +
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
