#include "scan/scan_fixture.h"

#include "scan/pending_parts_file.h"

namespace kestrel::test {
namespace {

// A picture of `total` parts with the given part numbers seen, queued now.
void addPicture(ScanWorld &w, const QByteArray &name, int total, QList<qint16> numbers,
                const QByteArray &from = "P <p@x>")
{
    PendingParts parts;
    parts.total = qint16(total);
    parts.firstSeen = w.clock.now();
    parts.key = "alt.test\n" + name + '\n' + from;
    const qint16 first = numbers.takeFirst();
    parts.seen = {PendingPart{first, ListNumber(100 + first), 200}};
    w.pending.addArticleHeader(from, name + " yEnc", "org", QByteArray::number(100 + first), "200", "host", 1,
                               false, {}, false, false, name, "alt.test", parts);
    const int row = w.pending.findPicture(parts.key);
    for (qint16 k : numbers)
        w.pending.addPart(row, PendingPart{k, ListNumber(100 + k), 200});
}

bool logged(const ScanWorld &w, const QString &text)
{
    const QStringList &entries = w.ctx.log.entries();
    return std::any_of(entries.cbegin(), entries.cend(), [&](const QString &e) { return e.endsWith(text); });
}

TEST(MultiPartPending, WaitingPicturesAreListedButNotQueued)
{
    ScanWorld w;
    addPicture(w, "wait.jpg", 3, {1, 3});
    EXPECT_EQ(w.ctx.state.pendingCount, 0);
    EXPECT_EQ(w.pending.firstDownloadable(), -1);
    EXPECT_FALSE(w.pending.downloadLightClicked());
    EXPECT_EQ(w.prompter.said.size(), 1u);
    w.addQueued("single.jpg");
    EXPECT_EQ(w.pending.firstDownloadable(), 1);
    w.pending.addPart(0, PendingPart{2, ListNumber(102), 200});
    EXPECT_EQ(w.ctx.state.pendingCount, 2);
    EXPECT_EQ(w.pending.firstDownloadable(), 0);
    EXPECT_EQ(w.pending.takeAt(0).parts.seen.size(), 3);
    EXPECT_EQ(w.ctx.state.pendingCount, 1);
}

TEST(MultiPartPending, RemoveWithNoRedlListsThePictureOnce)
{
    ScanWorld w;
    addPicture(w, "whole.jpg", 4, {2, 1, 4});
    addPicture(w, "other.jpg", 2, {1});
    EXPECT_EQ(w.pending.findAndSelect(QStringLiteral("WHOLE"), false), 1);
    w.pending.removeSelected(true);
    EXPECT_EQ(w.texts(), (QList<QByteArray>{"other.jpg"}));
    EXPECT_EQ(w.noRedl.contains("whole.jpg"), true);
    EXPECT_EQ(w.pending.findPicture("alt.test\nwhole.jpg\nP <p@x>"), -1);
    EXPECT_EQ(w.pending.findPicture("alt.test\nother.jpg\nP <p@x>"), 0);
}

TEST(MultiPartPending, PartsSurviveARestartBesidePendingDat)
{
    ScanWorld w;
    w.addQueued("single.jpg");
    addPicture(w, "half.jpg", 5, {4, 2});
    addPicture(w, "whole.jpg", 2, {2, 1}, "Q <q@x>");
    w.addGhosted("!Duplicate", "dropped at save");
    ASSERT_TRUE(w.pending.savePending());
    const QByteArray parts = w.folder.read("pending.parts");
    const QByteArray firstSeen = QByteArray::number(w.clock.now().toMSecsSinceEpoch());
    EXPECT_EQ(parts, "KESTREL-PARTS 1\n"
                     "picture 1 5 " +
                         firstSeen +
                         " half.jpg alt.test%0Ahalf.jpg%0AP%20%3Cp%40x%3E\n"
                         "part 2 102 200\npart 4 104 200\n"
                         "picture 2 2 " +
                         firstSeen +
                         " whole.jpg alt.test%0Awhole.jpg%0AQ%20%3Cq%40x%3E\n"
                         "part 1 101 200\npart 2 102 200\n");

    ScanWorld again;
    again.folder.write("pending.dat", w.folder.read("pending.dat"));
    again.folder.write("pending.parts", parts);
    again.pending.loadPending();
    ASSERT_EQ(again.pending.count(), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(again.pending.entry(i), w.pending.entry(i)) << i;
    EXPECT_EQ(again.ctx.state.pendingCount, 2);
    ASSERT_TRUE(again.pending.savePending());
    EXPECT_EQ(again.folder.read("pending.dat"), w.folder.read("pending.dat"));
    EXPECT_EQ(again.folder.read("pending.parts"), parts);

    // Once no picture is left the file goes, and pending.dat is what it always was.
    again.pending.setSelected(1, true);
    again.pending.setSelected(2, true);
    again.pending.removeSelected(false);
    ASSERT_TRUE(again.pending.savePending());
    EXPECT_FALSE(QFile::exists(again.folder.file("pending.parts")));
}

TEST(MultiPartPending, MissingOrDamagedPartsLoadPlainEntries)
{
    ScanWorld w;
    addPicture(w, "half.jpg", 3, {1});
    addPicture(w, "next.jpg", 3, {2});
    ASSERT_TRUE(w.pending.savePending());
    const QByteArray dat = w.folder.read("pending.dat");
    const QByteArray good = w.folder.read("pending.parts");
    struct Case {
        const char *what;
        QByteArray parts; // empty: no file
        const char *log;
        int multiPart; // entries loaded with parts
    };
    QByteArray wrongName = good;
    wrongName.replace(" half.jpg ", " other.jpg ");
    QByteArray wrongIndex = good;
    wrongIndex.replace("picture 1 ", "picture 7 ");
    const char *damaged = "pending.parts is damaged: its pictures are loaded as single articles";
    const Case cases[] = {
        {"no file", {}, nullptr, 0},
        {"the file as saved", good, nullptr, 2},
        {"another version", "KESTREL-PARTS 2\n", damaged, 0},
        {"cut short", good.left(good.size() - 20), damaged, 0},
        {"garbage", QByteArray(300, '\xff'), damaged, 0},
        {"part past the total", QByteArray(good).replace("part 2 ", "part 4 "), damaged, 0},
        {"another name", wrongName,
         "pending.parts names other.jpg, which pending.dat does not hold there: loaded as a single article",
         1},
        {"an index past the list", wrongIndex,
         "pending.parts names next.jpg, which pending.dat does not hold there: loaded as a single article",
         1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ScanWorld again;
        again.folder.write("pending.dat", dat);
        if (!c.parts.isEmpty())
            again.folder.write("pending.parts", c.parts);
        again.pending.loadPending();
        ASSERT_EQ(again.pending.count(), 2);
        int multi = 0;
        for (int i = 0; i < 2; ++i)
            multi += again.pending.entry(i).parts.isMultiPart() ? 1 : 0;
        EXPECT_EQ(multi, c.multiPart);
        EXPECT_EQ(again.ctx.state.pendingCount, 2 - c.multiPart);
        if (c.log) {
            EXPECT_TRUE(logged(again, QString::fromLatin1(c.log)))
                << again.ctx.log.entries().join('|').toStdString();
        }
    }
}

TEST(MultiPartPending, WaitingPicturesExpireAfterTheSetHours)
{
    ScanWorld w;
    w.ctx.settings.setNumber(u"sldMultiPartHours", 2);
    addPicture(w, "old.jpg", 7, {1, 2, 3});
    w.clock.advanceMsecs(3600 * 1000);
    addPicture(w, "young.jpg", 2, {1});
    addPicture(w, "whole.jpg", 2, {1, 2});
    w.clock.advanceMsecs(3600 * 1000 - 1);
    EXPECT_EQ(w.pending.dropExpiredPictures(), 0);
    w.clock.advanceMsecs(1);
    EXPECT_EQ(w.pending.dropExpiredPictures(), 1);
    EXPECT_EQ(w.texts(), (QList<QByteArray>{"young.jpg", "whole.jpg"}));
    EXPECT_TRUE(logged(w, QStringLiteral("Incomplete picture old.jpg dropped: 3 of 7 parts in 2 hours.")));
    EXPECT_FALSE(w.noRedl.contains("old.jpg"));

    // On load too: a list saved before the time ran out.
    ASSERT_TRUE(w.pending.savePending());
    ScanWorld again;
    again.ctx.settings.setNumber(u"sldMultiPartHours", 2);
    again.clock.setNow(w.clock.now().addSecs(3600));
    again.folder.write("pending.dat", w.folder.read("pending.dat"));
    again.folder.write("pending.parts", w.folder.read("pending.parts"));
    again.prompter.answers = {true}; // load the hour-old list
    again.pending.loadPending();
    EXPECT_EQ(again.texts(), (QList<QByteArray>{"whole.jpg"}));
    EXPECT_EQ(again.ctx.state.pendingCount, 1);
}

} // namespace
} // namespace kestrel::test
