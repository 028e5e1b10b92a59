#include "circle/circle_fixture.h"

#include "newsd/folder_store.h"
#include "newsd/multipart_posts.h"

namespace kestrel::test {
namespace {

const QByteArray kGroup = "alt.binaries.pictures.test";

struct Posted {
    QByteArray name;
    int part;
    int total;
    newsd::PartEncoding encoding;
    QByteArray from = "Poster <poster@example.com>";
};

void post(CircleWorld &w, qint64 number, const Posted &p)
{
    const QByteArray data(3000, char('a' + p.total));
    const QList<newsd::PartPost> parts = newsd::multiPartPosts(data, p.name, p.total, p.encoding);
    ASSERT_EQ(parts.size(), p.total);
    const QString spool = w.folder.path() + QStringLiteral("/spool");
    ASSERT_TRUE(newsd::FolderStore::writeArticle(spool, kGroup, number,
                                                 newsd::multiPartArticle(parts[p.part - 1], kGroup, p.from)));
    w.server.setStore(std::make_shared<newsd::FolderStore>(spool));
}

struct Shown {
    QByteArray text;
    QList<qint64> parts;
    bool waiting;
};

QList<Shown> shown(const CircleWorld &w)
{
    QList<Shown> out;
    for (int i = 0; i < w.pending.count(); ++i) {
        const PendingEntry &e = w.pending.entry(i);
        Shown s{e.text, {}, e.waiting()};
        for (const PendingPart &p : e.parts.seen)
            s.parts.append(p.tag.value().value_or(-1));
        out.append(s);
    }
    return out;
}

// Parts out of order, two pictures of one name from different posters, a uuencoded
// picture, and a part that only the second scan finds; in both scan modes.
TEST(MultiPartScan, PartsOfTwoScansMakeOnePictureEach)
{
    for (const bool xover : {false, true}) {
        SCOPED_TRACE(xover ? "xover" : "head");
        CircleWorld w({{kGroup, 1, 1, 0}});
        w.ctx.settings.setChecked(u"chkXOVER", xover);
        w.ctx.settings.setChecked(u"chkMultiPart", true);
        using E = newsd::PartEncoding;
        post(w, 1, {"a.jpg", 3, 3, E::Yenc});
        post(w, 2, {"a.jpg", 1, 3, E::Yenc});
        post(w, 3, {"b.jpg", 2, 2, E::Uuencode});
        post(w, 4, {"a.jpg", 1, 2, E::Yenc, "Other <o@x>"});
        post(w, 5, {"b.jpg", 1, 2, E::Uuencode});
        w.circle.connectScan();
        ASSERT_TRUE(w.runUntilWait());
        const QList<Shown> first = shown(w);
        ASSERT_EQ(first.size(), 3);
        EXPECT_EQ(first[0].text, "a.jpg");
        EXPECT_EQ(first[0].parts, (QList<qint64>{2, 1}));
        EXPECT_TRUE(first[0].waiting);
        EXPECT_EQ(first[1].text, "b.jpg");
        EXPECT_EQ(first[1].parts, (QList<qint64>{5, 3}));
        EXPECT_FALSE(first[1].waiting);
        EXPECT_EQ(first[2].text, "a.jpg");
        EXPECT_TRUE(first[2].waiting);
        EXPECT_EQ(w.ctx.state.pendingCount, 1);

        post(w, 6, {"a.jpg", 2, 3, E::Yenc});
        w.circle.connectScan();
        ASSERT_TRUE(w.runUntilWait());
        const QList<Shown> second = shown(w);
        ASSERT_EQ(second.size(), 3);
        EXPECT_EQ(second[0].parts, (QList<qint64>{2, 6, 1}));
        EXPECT_FALSE(second[0].waiting);
        EXPECT_EQ(w.pending.entry(0).tag.value(), 1); // the first part seen
        EXPECT_EQ(w.ctx.state.pendingCount, 2);
        EXPECT_EQ(w.counters.dupeCount, 0);
    }
}

} // namespace
} // namespace kestrel::test
