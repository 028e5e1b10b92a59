#include "circle/circle_fixture.h"

#include "newsd/multipart_posts.h"

namespace kestrel::test {
namespace {

// Reading resumes at the last-read article, which is filtered again but not counted;
// a group never read or renumbered since starts at its first article, which counts.
TEST(ScanSession, ReadsNewHeadersFromTheLastReadArticleOn)
{
    const struct {
        const char *name;
        bool xover;
        qint64 first, last, gapEvery; // the articles of a.one
        QByteArray lastRead;
        QByteArray commands; // on the scan connection after GROUP, separated by |
        qint32 newHeaders;   // ScanHeaderCount at the end
        QByteArray lastReadAfter;
        int logged; // the count in "N new articles in a.one"
    } cases[] = {
        {"head, never read", false, 1, 6, 0, "", "LISTGROUP a.one 1-10000|HEAD 1|HEAD 2", 6, "6", 5},
        {"head, resumed", false, 1, 10, 0, "7", "LISTGROUP a.one 7-10006|HEAD 7|HEAD 8", 3, "10", 3},
        {"head, renumbered", false, 500, 520, 0, "100", "LISTGROUP a.one 500-10499|HEAD 500|HEAD 501", 21,
         "520", 20},
        {"xover, never read", true, 1, 6, 0, "", "XOVER 1-21", 6, "6", 5},
        {"xover, resumed", true, 1, 100, 0, "30", "XOVER 30-50|XOVER 50-70|XOVER 70-90|XOVER 90-110", 70,
         "100", 70},
        {"xover, renumbered", true, 500, 520, 0, "100", "XOVER 500-520", 21, "520", 20},
        {"xover, nothing new", true, 1, 10, 0, "10", "QUIT", 0, "10", 0},
        {"xover, gaps in the group", true, 1, 30, 3, "", "XOVER 1-21|XOVER 21-41", 20, "29", 29},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        CircleWorld w({{"a.one", c.first, c.last, c.gapEvery}});
        w.favs.setSubItem(0, FavLastRead, c.lastRead);
        w.useXover(20);
        w.ctx.settings.setChecked(u"chkXOVER", c.xover);
        ASSERT_TRUE(w.scanRun());
        EXPECT_FALSE(w.waits.back());
        EXPECT_TRUE(waitUntil([&] { return w.commands(1).last() == "QUIT"; }, 2000));
        const QByteArrayList expected = QByteArrayList{"GROUP a.one"} + c.commands.split('|');
        EXPECT_EQ(w.commands(1).mid(0, expected.size()), expected);
        EXPECT_EQ(w.counters.scanHeaderCount, c.newHeaders);
        EXPECT_EQ(w.favs.getLastRead("a.one"), c.lastReadAfter);
        EXPECT_TRUE(w.logged(QString::number(c.logged) + QStringLiteral(" new articles in a.one")));
        EXPECT_FALSE(w.ctx.state.scanning);
    }
}

TEST(ScanSession, PerGroupLimitEndsEachGroupEarly)
{
    for (const bool xover : {false, true}) {
        SCOPED_TRACE(xover ? "xover" : "head");
        CircleWorld w({{"a.one", 1, 100, 0}, {"a.two", 1, 100, 0}});
        w.ctx.settings.setChecked(u"chkXOVER", xover);
        w.ctx.settings.setNumber(u"sldXOVER", 20);
        w.ctx.settings.setChecked(u"chkMaxPGPS", true);
        w.ctx.settings.setNumber(u"sldMaxPGPS", 5);
        ASSERT_TRUE(w.scanRun());
        // HEAD mode asks for five headers; XOVER mode stops after the range that
        // reached five lines.
        const int perGroup = xover ? 21 : 5;
        EXPECT_EQ(w.counters.scanHeaderCount, 2 * perGroup);
        EXPECT_EQ(w.favs.getLastRead("a.two"), QByteArray::number(perGroup));
        EXPECT_EQ(w.count(w.commands(1), "XOVER"), xover ? 2 : 0);
    }
}

// A group whose last-read number equals the start of the range last asked for in
// another group is still read.
TEST(ScanSession, RangeStartOfAnotherGroupDoesNotEndAGroup)
{
    CircleWorld w({{"a.one", 1, 10, 0}, {"a.two", 1, 30, 0}});
    w.favs.setSubItem(1, FavLastRead, "1");
    w.useXover(20);
    ASSERT_TRUE(w.scanRun());
    EXPECT_EQ(w.favs.getLastRead("a.two"), "30");
    EXPECT_EQ(w.counters.scanHeaderCount, 10 + 29);
}

// Two new headers in the first of three groups count as two, not as nothing, so the
// re-scan is armed once the downloads are done.
TEST(ScanSession, HeaderCountIsTheNewHeadersTaken)
{
    for (const bool xover : {false, true}) {
        SCOPED_TRACE(xover ? "xover" : "head");
        CircleWorld w({{"a.one", 1, 12, 0}, {"a.two", 1, 5, 0}, {"a.three", 1, 5, 0}});
        w.favs.setSubItem(0, FavLastRead, "10");
        w.favs.setSubItem(1, FavLastRead, "5");
        w.favs.setSubItem(2, FavLastRead, "5");
        w.ctx.settings.setChecked(u"chkXOVER", xover);
        w.ctx.settings.setChecked(u"chkReScan", true);
        w.ctx.settings.setChecked(u"chkAutodownload", true);
        ASSERT_TRUE(w.scanRun());
        // The count in the log is the counter at the end of the scan.
        EXPECT_TRUE(w.logged(QStringLiteral("Scan Complete. 2 headers read in")));
        EXPECT_TRUE(w.logged(QStringLiteral("Rescan in 90 seconds.")));
        EXPECT_TRUE(w.ctx.state.rescanArmed);
    }
}

// Rows without a name, switched-off rows and groups the server lacks are passed over;
// the scan goes on with the next group at once.
TEST(ScanSession, SkippedAndFailingGroupsDoNotStallTheScan)
{
    struct Case {
        const char *name;
        std::function<void(CircleWorld &)> setup;
        QString logLine;
    };
    const Case cases[] = {
        {"unnamed row", [](CircleWorld &w) { w.addFavourite(""); }, QString()},
        {"ghosted row",
         [](CircleWorld &w) {
             w.addFavourite("a.off");
             w.favs.setGhosted(1, true);
         },
         QString()},
        {"no such group", [](CircleWorld &w) { w.addFavourite("a.missing"); },
         QStringLiteral("Error, no such news group a.missing")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        CircleWorld w({{"a.one", 1, 5, 0}});
        c.setup(w);
        w.addFavourite("a.two");
        w.store->addGroup({"a.two", 1, 5, 0});
        w.ctx.settings.setChecked(u"chkXOVER", true);
        ASSERT_TRUE(w.scanRun(3000));
        EXPECT_EQ(w.favs.getLastRead("a.two"), "5");
        EXPECT_EQ(w.count(w.commands(1), "GROUP"), 2 + (c.logLine.contains(u"missing") ? 1 : 0));
        EXPECT_TRUE(c.logLine.isEmpty() || w.logged(c.logLine));
    }
}

// Ranges with no article in them, answered 423 (RFC 3977) or 420 (RFC 2980), are read
// to their end, never past the group's last article, and the group goes on over a gap
// wider than one range in the same run.
TEST(ScanSession, EmptyXoverRangesAreReadPast)
{
    const QList<qint64> gapOfTwoRanges{1, 2, 3, 70, 71, 72};
    const struct {
        const char *name;
        QList<qint64> numbers; // the articles the group holds
        QByteArray lastRead;
        QByteArray forced;   // a command answered empty although it has articles
        QByteArray commands; // on the scan connection after GROUP, separated by |
        qint32 newHeaders;
        QByteArray lastReadAfter;
    } cases[] = {
        {"gap of two ranges", gapOfTwoRanges, "", "",
         "XOVER 1-21|XOVER 21-41|XOVER 41-61|XOVER 61-81|XOVER 72-92|QUIT", 6, "72"},
        {"resumed inside the gap", gapOfTwoRanges, "10", "",
         "XOVER 10-30|XOVER 30-50|XOVER 50-70|XOVER 70-90|XOVER 72-92|QUIT", 3, "72"},
        {"the range to the group's end answered empty",
         {1, 2, 25, 26, 27},
         "25",
         "XOVER 25-45",
         "XOVER 25-45|QUIT",
         0,
         "27"},
    };
    for (const auto &c : cases) {
        for (const int code : {420, 423}) {
            SCOPED_TRACE(testing::Message() << c.name << ' ' << code);
            CircleWorld w({{kGroup, 1, 100, 0}});
            w.serveOnly(c.numbers);
            w.server.faults().emptyRangeCode = code;
            if (!c.forced.isEmpty())
                w.server.faults().forcedReplies.append({c.forced, code, 1});
            w.favs.setSubItem(0, FavLastRead, c.lastRead);
            w.useXover(20);
            ASSERT_TRUE(w.scanRun());
            EXPECT_FALSE(w.waits.back());
            EXPECT_TRUE(waitUntil([&] { return w.commands(1).last() == "QUIT"; }, 2000));
            EXPECT_EQ(w.commands(1), QByteArrayList{"GROUP " + kGroup} + c.commands.split('|'));
            EXPECT_EQ(w.counters.scanHeaderCount, c.newHeaders);
            EXPECT_EQ(w.favs.getLastRead(kGroup), c.lastReadAfter);
            EXPECT_FALSE(w.logged(QStringLiteral("XOVER failed")));
        }
    }
}

// A server without XOVER (RFC 3977 3.2.1: unknown, not understood or not permitted):
// the connection reads on in HEAD mode, each group from its last-read article, and says
// so once; the setting stays, so the next connection asks for XOVER again.
TEST(ScanSession, RefusedXoverFallsBackToHeadMode)
{
    const QString fallback = QStringLiteral("The server does not support XOVER; reading headers one by one.");
    for (const int code : {500, 501, 502}) {
        SCOPED_TRACE(code);
        CircleWorld w({{"a.one", 1, 6, 0}, {"a.two", 1, 10, 0}});
        w.favs.setSubItem(1, FavLastRead, "7");
        w.server.faults().forcedReplies.append({"XOVER", code, -1});
        w.useXover(20);
        ASSERT_TRUE(w.scanRun());
        EXPECT_FALSE(w.waits.back());
        EXPECT_TRUE(waitUntil([&] { return w.commands(1).last() == "QUIT"; }, 2000));
        const QByteArrayList sent = w.commands(1);
        EXPECT_EQ(sent.mid(0, 4),
                  QByteArrayList({"GROUP a.one", "XOVER 1-21", "LISTGROUP a.one 1-10000", "HEAD 1"}));
        const qsizetype two = sent.indexOf("GROUP a.two");
        ASSERT_GE(two, 0);
        EXPECT_EQ(sent.mid(two, 4),
                  QByteArrayList({"GROUP a.two", "LISTGROUP a.two 7-10006", "HEAD 7", "HEAD 8"}));
        EXPECT_EQ(w.count(sent, "XOVER"), 1);
        EXPECT_EQ(w.counters.scanHeaderCount, 6 + 3);
        EXPECT_EQ(w.favs.getLastRead("a.one"), "6");
        EXPECT_EQ(w.favs.getLastRead("a.two"), "10");
        EXPECT_EQ(w.timesLogged(fallback), 1);
        EXPECT_TRUE(w.logged(QStringLiteral("Scan Complete. 9 headers read in")));
        EXPECT_TRUE(w.ctx.settings.checked(u"chkXOVER"));

        w.server.faults().forcedReplies.clear();
        w.server.clearTranscript();
        w.store->setRange("a.two", 1, 15);
        ASSERT_TRUE(w.scanRun());
        EXPECT_TRUE(w.commands().contains("XOVER 10-30"));
        EXPECT_EQ(w.favs.getLastRead("a.two"), "15");
    }
}

// HEAD mode queues the article number written with a leading space, XOVER mode the
// overview line's first field as it came; the download asks for the same article.
TEST(ScanSession, PendingTagsKeepTheSpellingOfEachMode)
{
    for (const bool xover : {false, true}) {
        SCOPED_TRACE(xover ? "xover" : "head");
        CircleWorld w({{kGroup, 1, 8, 0}});
        w.ctx.settings.setChecked(u"chkXOVER", xover);
        ASSERT_TRUE(w.scanRun());
        ASSERT_GT(w.pending.count(), 0);
        for (int i = 0; i < w.pending.count(); ++i) {
            const ListNumber &tag = w.pending.entry(i).tag;
            EXPECT_EQ(tag.text(0), (xover ? "" : " ") + QByteArray::number(*tag.value()));
        }
        const qint64 first = *w.pending.entry(0).tag.value();
        w.ctx.settings.setChecked(u"chkAutodownload", true);
        ASSERT_TRUE(w.downloadRun());
        EXPECT_TRUE(w.commands().contains("BODY  " + QByteArray::number(first)));
        EXPECT_EQ(w.pending.count(), 0);
    }
}

// A server that answers each range with thousands of lines past its end: only the lines
// of the range are taken, and once the pending list is full nothing more is queued
// while the reply goes on; the last-read number stays at the last line queued.
TEST(ScanSession, OverviewFloodIsNotQueued)
{
    const struct {
        const char *name;
        int maxPending;
        QString logLine;
    } cases[] = {
        {"lines past the range", 3000,
         QStringLiteral("Ignored 19979 overview lines outside the range asked for (1-21).")},
        {"pending list full", 5, QStringLiteral("Pending list full:")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        CircleWorld w({{kGroup, 1, 30, 0}});
        w.server.faults().overviewFlood = 20000;
        w.useXover(20);
        w.ctx.settings.setNumber(u"sldMaxPending", c.maxPending);
        ASSERT_TRUE(w.scanRun(20000));
        EXPECT_TRUE(w.logged(c.logLine));
        EXPECT_LE(w.pending.count(), 2 * 21);
        EXPECT_LE(w.counters.scanHeaderCount, 2 * 21);
        EXPECT_LE(w.ctx.state.pendingCount, c.maxPending);
        if (c.maxPending > 5)
            continue;
        EXPECT_EQ(w.ctx.state.pendingCount, 5);
        EXPECT_TRUE(w.logged(QStringLiteral("Scan Stopped (max pending).")));
        EXPECT_EQ(w.favs.getLastRead(kGroup), QByteArray::number(w.highestTag()));
    }
}

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
    ASSERT_TRUE(newsd::FolderStore::writeArticle(w.folder.path() + "/spool", kGroup, number,
                                                 newsd::multiPartArticle(parts[p.part - 1], kGroup, p.from)));
    w.server.setStore(std::make_shared<newsd::FolderStore>(w.folder.path() + "/spool"));
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
        ASSERT_TRUE(w.scanRun());
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
        ASSERT_TRUE(w.scanRun());
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
