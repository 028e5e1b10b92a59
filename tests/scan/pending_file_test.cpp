#include "scan/scan_fixture.h"

#include "scan/pending_file.h"

#include <QBuffer>
#include <QtEndian>

namespace kestrel::test {
namespace {

PendingEntry sampleEntry(const QByteArray &name, qint64 tag, bool selected)
{
    PendingEntry e;
    e.text = name;
    e.sub = {ListNumber(120), "A subject \xE9", "Org", "host", "me@x", "alt.test", ListNumber(1)};
    e.tag = ListNumber(tag);
    e.smallIcon = 3;
    e.selected = selected;
    return e;
}

QByteArray textRecord(const QByteArray &text, qint16 declaredLength)
{
    QByteArray r(pendingfile::RecordSize, '\0');
    qToLittleEndian(declaredLength, r.data());
    r.replace(2, text.size(), text);
    return r;
}

TEST(PendingFile, SaveLoadSaveIsByteExact)
{
    ScanWorld w;
    w.ctx.state.currentArticle = sampleEntry("one.jpg", 17, true);
    w.pending.requeueArticle();
    w.ctx.state.currentArticle = sampleEntry("two.jpg", 5000000000, false); // past 32 bits
    // Numbers stored in another spelling come back as they were.
    w.ctx.state.currentArticle.sub.setText(ColLines, "120");
    w.ctx.state.currentArticle.sub.setText(ColXposts, " 1");
    w.pending.requeueArticle();
    w.pending.setSelected(1, true);
    w.addGhosted("!Duplicate", "dropped on save");
    ASSERT_TRUE(w.pending.savePending());
    const QByteArray first = w.folder.read("pending.dat");
    ASSERT_EQ(first.size(), 128 * (3 + 2 * 11));
    EXPECT_EQ(first.left(16), QByteArray("\x0e\x00KESTRELPDC1001", 16));
    EXPECT_EQ(qFromLittleEndian<qint32>(first.constData() + 128), 2);
    EXPECT_EQ(first.mid(128 * 4, 5), QByteArray("\x03\x00", 2) + "120");          // first entry's Lines
    EXPECT_EQ(first.mid(128 * 11, 12), QByteArray("\x0a\x00", 2) + "5000000000"); // its tag
    EXPECT_EQ(first.mid(128 * 13, 2), QByteArray("\x00\x00", 2));                 // its selected state
    EXPECT_EQ(first.mid(128 * 24, 2), QByteArray("\xff\xff", 2));                 // the second one's

    ScanWorld again;
    again.folder.write("pending.dat", first);
    again.pending.loadPending();
    ASSERT_EQ(again.pending.count(), 2);
    EXPECT_EQ(again.pending.entry(1), sampleEntry("one.jpg", 17, true));
    EXPECT_EQ(again.pending.entry(0).sub.lines.value(), 120);
    EXPECT_EQ(again.ctx.state.pendingCount, 2);
    ASSERT_TRUE(again.pending.savePending());
    EXPECT_EQ(again.folder.read("pending.dat"), first);
}

// The tag is written as the scan gave it (HEAD mode: with a leading space, XOVER mode:
// the overview field) and read back in either spelling.
TEST(PendingFile, TagKeepsTheSpellingOfTheScan)
{
    const struct {
        QByteArray stored;
        qint64 value;
    } cases[] = {{"17", 17}, {" 17", 17}, {" 5000000000", 5000000000}, {"0017", 17}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.stored.constData());
        PendingEntry e = sampleEntry("a.jpg", 0, false);
        e.tag = ListNumber::fromText(c.stored, 0);
        const QByteArray bytes = pendingfile::encode({e}, QDateTime(QDate(2026, 1, 1), QTime(8, 0)));
        const qsizetype tagRecord = 128 * (3 + 8);
        EXPECT_EQ(bytes.mid(tagRecord + 2, qFromLittleEndian<qint16>(bytes.constData() + tagRecord)),
                  c.stored);
        QBuffer buf;
        buf.setData(bytes);
        buf.open(QIODevice::ReadOnly);
        const auto res = pendingfile::read(buf);
        ASSERT_EQ(res.entries.size(), 1);
        EXPECT_EQ(res.entries[0].tag.value(), c.value);
        EXPECT_EQ(pendingfile::encode(res.entries, res.savedAt), bytes);
    }
}

// The file is read in blocks of records; entries that straddle two blocks, and a file
// that ends inside a block, load whole and in order.
TEST(PendingFile, LongListLoadsEveryEntryInOrder)
{
    ScanWorld w;
    QList<PendingEntry> entries;
    for (int i = 0; i < 700; ++i)
        entries.append(sampleEntry("pic" + QByteArray::number(i) + ".jpg", 1000 + i, i % 3 == 0));
    const QByteArray file = pendingfile::encode(entries, w.clock.now());
    w.folder.write("pending.dat", file);
    w.pending.loadPending();
    ASSERT_EQ(w.pending.count(), int(entries.size()));
    for (int i = 0; i < entries.size(); ++i)
        ASSERT_EQ(w.pending.entry(i), entries[i]) << i;
    ASSERT_TRUE(w.pending.savePending());
    EXPECT_EQ(w.folder.read("pending.dat"), file);
}

TEST(PendingFile, LongValuesAreCutToFitTheirRecords)
{
    PendingEntry e = sampleEntry(QByteArray(200, 'n'), 5, false);
    e.sub.subject = "  " + QByteArray(120, 's');
    e.sub.organization = QByteArray(300, 'o');
    QBuffer buf;
    buf.setData(pendingfile::encode({e}, QDateTime(QDate(2026, 1, 1), QTime(8, 0))));
    buf.open(QIODevice::ReadOnly);
    const auto res = pendingfile::read(buf);
    ASSERT_EQ(res.entries.size(), 1);
    EXPECT_EQ(res.entries[0].text, QByteArray(126, 'n'));
    EXPECT_EQ(res.entries[0].sub.subject, QByteArray(96, 's'));
    EXPECT_EQ(res.entries[0].sub.organization, QByteArray(126, 'o'));
    EXPECT_EQ(res.savedAt, QDateTime(QDate(2026, 1, 1), QTime(8, 0)));
}

TEST(PendingFile, DamagedFilesLoadWhatIsSoundAndSaySoAndAForeignOneIsDeleted)
{
    const QByteArray good = pendingfile::encode(
        {sampleEntry("a.jpg", 1, false), sampleEntry("b.jpg", 2, false), sampleEntry("c.jpg", 3, false)},
        QDateTime(QDate(2026, 3, 1), QTime(10, 0)));
    auto withCount = [&](qint32 n) {
        QByteArray d = good;
        qToLittleEndian(n, d.data() + 128);
        return d;
    };
    QByteArray badLength = good; // second entry's Subject claims more than a record holds
    badLength.replace(128 * (3 + 11 + 2), 128, textRecord("x", 500));
    QByteArray negativeLength = good;
    negativeLength.replace(128 * (3 + 0), 128, textRecord("x", -3));
    QByteArray blankName = good;
    blankName.replace(128 * 3, 128, textRecord("   ", 3));
    QByteArray wrongMagic = good;
    wrongMagic[5] = 'X';
    struct Case {
        const char *what;
        QByteArray bytes;
        QList<QByteArray> loaded;
        bool logsDamage;
    } cases[] = {
        {"truncated", good.left(128 * (3 + 11 * 2) + 40), {"a.jpg", "b.jpg"}, true},
        {"huge count", withCount(0x7fffffff), {"a.jpg", "b.jpg", "c.jpg"}, true},
        {"negative count", withCount(-5), {}, false},
        {"length past the record", badLength, {"a.jpg", "c.jpg"}, true},
        {"negative length", negativeLength, {"b.jpg", "c.jpg"}, true},
        {"blank name skipped", blankName, {"b.jpg", "c.jpg"}, false},
        {"header only", good.left(200), {}, false},
        {"wrong magic: the file is deleted", wrongMagic, {}, false},
    };
    for (const Case &c : cases) {
        ScanWorld w;
        w.folder.write("pending.dat", c.bytes);
        w.pending.loadPending();
        EXPECT_EQ(w.texts(), c.loaded) << c.what;
        EXPECT_EQ(w.ctx.state.pendingCount, c.loaded.size()) << c.what;
        const bool logged = !w.ctx.log.entries().isEmpty() &&
                            w.ctx.log.entries().first().contains(QLatin1String("pending.dat is damaged"));
        EXPECT_EQ(logged, c.logsDamage) << c.what;
        EXPECT_EQ(w.folder.exists("pending.dat"), c.bytes != wrongMagic) << c.what;
    }
}

TEST(PendingFile, OldFilesAskBeforeLoading)
{
    struct Case {
        QTime saved;
        QTime now;
        bool answer;
        bool asked;
        int loaded;
    } cases[] = {
        {QTime(10, 59), QTime(12, 1), false, false, 1}, // two boundaries: no question
        {QTime(10, 59), QTime(13, 1), true, true, 1},
        {QTime(10, 59), QTime(13, 1), false, true, 0},
    };
    for (const Case &c : cases) {
        ScanWorld w;
        w.folder.write("pending.dat", pendingfile::encode({sampleEntry("a.jpg", 1, false)},
                                                          QDateTime(QDate(2026, 3, 1), c.saved)));
        w.clock.setNow(QDateTime(QDate(2026, 3, 1), c.now));
        w.prompter.answers = {c.answer};
        w.pending.loadPending();
        EXPECT_EQ(!w.prompter.said.empty(), c.asked);
        if (c.asked) {
            EXPECT_EQ(w.prompter.said.front(),
                      QStringLiteral("Saved pending downloads are 3 hours old, load them anyway?"));
        }
        EXPECT_EQ(w.pending.count(), c.loaded);
        EXPECT_EQ(w.folder.exists("pending.dat"), c.loaded == 1);
    }
}

TEST(PendingFile, SavingNothingQueuedDeletesTheFile)
{
    ScanWorld w;
    w.folder.write("pending.dat", "old");
    w.addGhosted("!Duplicate", "x");
    ASSERT_TRUE(w.pending.savePending());
    EXPECT_FALSE(w.folder.exists("pending.dat"));
    EXPECT_EQ(w.pending.count(), 0);
}

TEST(PendingFile, OleDatesMatchTheKnownEpoch)
{
    EXPECT_DOUBLE_EQ(pendingfile::toOleDate(QDateTime(QDate(1899, 12, 30), QTime(0, 0))), 0.0);
    EXPECT_DOUBLE_EQ(pendingfile::toOleDate(QDateTime(QDate(2000, 1, 1), QTime(18, 0))), 36526.75);
    EXPECT_EQ(pendingfile::fromOleDate(36526.75), QDateTime(QDate(2000, 1, 1), QTime(18, 0)));
    EXPECT_FALSE(pendingfile::fromOleDate(1e300).isValid());
}

} // namespace
} // namespace kestrel::test
