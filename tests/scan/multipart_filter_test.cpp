#include "scan/scan_fixture.h"

#include "scan/csv_lookup.h"
#include "scan/header_filter.h"
#include "scan/part_counter.h"

namespace kestrel::test {
namespace {

// One part's header, in the HEAD reply shape or the overview shape the XOVER mode
// rebuilds (which carries Bytes).
struct Part {
    Part(const char *s, const char *f = "Poster <poster@example.com>", const char *l = "500",
         const char *b = "")
        : subject(s), from(f), lines(l), bytes(b)
    {
    }
    QByteArray subject;
    QByteArray from;
    QByteArray lines;
    QByteArray bytes; // overview shape when set

    QByteArray block() const
    {
        if (!bytes.isEmpty())
            return "Subject: " + subject + "\r\nFrom: " + from +
                   "\r\nDate: d\r\nMessage-ID: <m@x>\r\nReferences: \r\nBytes: " + bytes +
                   "\r\nLines: " + lines + "\r\n\r\nXref: news.example.com alt.test:5\r\r\n";
        return "221 5 <id@x> article\r\nFrom: " + from + "\r\nSubject: " + subject + "\r\nLines: " + lines +
               "\r\nXref: news.example.com alt.test:5\r\n.\r\n";
    }
};

struct MultiWorld : ScanWorld {
    FilterCounters counters;
    NoCsvIndex noCsv;
    HeaderFilter filter{ctx, counters, pending, noRedl, blacklist, dupePaths, noCsv};
    MultiWorld(bool on = true)
    {
        filter.setCurrentGroup("alt.test");
        ctx.settings.setChecked(u"chkMultiPart", on);
    }
    void feed(const Part &p, const QByteArray &number) { filter.filterArticleHeader(p.block(), number); }
    qint32 rejected() const
    {
        return counters.linesKilledCount + counters.notPicCount + counters.spamCount + counters.dupeCount +
               counters.tooBigCount;
    }
};

using Counter = qint32 FilterCounters::*;

TEST(MultiPartFilter, FirstPartVerdicts)
{
    using FC = FilterCounters;
    enum List { None, Black, Fetched, Queued };
    struct Case {
        const char *what, *subject, *lines, *bytes; // bytes set: the overview shape
        const char *text; // the entry's text: a name when queued, a label when rejected
        int total;        // 0: a single-part entry or a rejection
        Counter counter;
        List list = None; // where "poster@" or "pic.jpg" is listed before
    };
    const Case cases[] = {
        {"yEnc part", "\"pic.jpg\" yEnc (2/3)", "500", "", "pic.jpg", 3, nullptr},
        {"uuencode part", "pic.jpg - part 1 of 2", "500", "", "pic.jpg", 2, nullptr},
        {"(1/1) is a single part", "\"pic.jpg\" yEnc (1/1)", "500", "", "pic.jpg", 0, nullptr},
        {"part past the line window", "pic.jpg (1/3)", "4001", "", "!Above Max Lines", 0,
         &FC::linesKilledCount},
        {"kind from the subject without counter", "pic.bmp (1/3)", "500", "", "!No JPG in subject", 0,
         &FC::notPicCount},
        {"blacklisted poster", "pic.jpg (1/3)", "500", "", "!SPAM in email address - POSTER@", 0,
         &FC::spamCount, Black},
        {"fetched before", "pic.jpg (1/3)", "500", "", "!Duplicate", 0, &FC::dupeCount, Fetched},
        {"pending as a single part", "pic.jpg (1/3)", "500", "", "!Duplicate", 0, &FC::dupeCount, Queued},
        {"64 parts", "pic.jpg (1/64)", "500", "", "pic.jpg", 64, nullptr},
        {"65 parts", "pic.jpg (1/65)", "500", "", "!Too many parts", 0, &FC::tooBigCount},
        // 50 parts of 2 MB: 100 MB counts as the limit, a byte more is too big.
        {"100 MB by Bytes", "pic.jpg (1/50)", "500", "2097152", "pic.jpg", 50, nullptr},
        {"past 100 MB by Bytes", "pic.jpg (1/50)", "500", "2097153", "!Too big", 0, &FC::tooBigCount},
        // Without Bytes: 4000 lines of 128 bytes, 64 parts are 31.25 MB.
        {"lines estimate", "pic.jpg (1/64)", "4000", "", "pic.jpg", 64, nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        MultiWorld w;
        w.ctx.settings.setChecked(u"chkOverall", true);
        if (c.list == Black)
            w.blacklist.addToBlacklist("poster@");
        if (c.list == Fetched)
            w.noRedl.addToNoRedl("PIC.jpg");
        if (c.list == Queued)
            w.addQueued("pic.jpg");
        const Part part{c.subject, "Poster <poster@example.com>", c.lines, c.bytes};
        const int before = w.pending.count();
        w.feed(part, "7");
        ASSERT_EQ(w.pending.count(), before + 1);
        const PendingEntry &e = w.pending.entry(before);
        EXPECT_EQ(e.text, QByteArray(c.text));
        EXPECT_EQ(e.parts.total, c.total);
        EXPECT_EQ(w.rejected(), c.counter ? 1 : 0);
        if (c.counter) {
            EXPECT_EQ(w.counters.*c.counter, 1);
        }
        if (c.total > 0) {
            EXPECT_EQ(e.parts.key, "alt.test\n" + findPartCounter(part.subject)->rest + '\n' + part.from);
            EXPECT_EQ(e.parts.firstSeen, w.clock.now());
            EXPECT_TRUE(e.waiting());
            EXPECT_EQ(w.ctx.state.pendingCount, before); // waiting: nothing a run can take
        }
    }
}

TEST(MultiPartFilter, PartsJoinOnePictureInAnyOrderAndAcrossShapes)
{
    MultiWorld w;
    Part p{"\"pic.jpg\" yEnc (2/3)"};
    w.feed(p, " 12"); // HEAD mode spelling
    p.subject = "\"pic.jpg\" yEnc (3/3)";
    p.lines = "300";
    p.bytes = "40000"; // overview shape
    w.feed(p, "13");
    EXPECT_EQ(w.ctx.state.pendingCount, 0);
    p.subject = "\"pic.jpg\" yEnc (2/3)";
    w.feed(p, "14"); // the same part again changes nothing and is no duplicate
    EXPECT_EQ(w.rejected(), 0);
    p.subject = "\"pic.jpg\" yEnc (1/3)";
    p.lines = "501";
    w.feed(p, "11");

    ASSERT_EQ(w.pending.count(), 1);
    const PendingEntry &e = w.pending.entry(0);
    EXPECT_EQ(e.text, "pic.jpg");
    EXPECT_EQ(e.tag.text(0), " 12");
    EXPECT_EQ(e.sub.subject, "\"pic.jpg\" yEnc (2/3)");
    EXPECT_EQ(e.sub.lines.value(), 1301);
    EXPECT_EQ(e.parts.seen, (QList<PendingPart>{{1, ListNumber(11), 501},
                                                {2, ListNumber::fromText(" 12", 0), 500},
                                                {3, ListNumber(13), 300}}));
    EXPECT_FALSE(e.waiting());
    EXPECT_EQ(w.ctx.state.pendingCount, 1);
    EXPECT_EQ(w.pending.addedCount(), 1);
    EXPECT_EQ(w.counters.readCount, 4);
    EXPECT_EQ(w.pending.data(w.pending.index(0, 0)).toString(), "pic.jpg (3/3)");
    EXPECT_EQ(w.pending.data(w.pending.index(0, 1)).toString(), "01301");
}

// Pictures of one name from different posters or groups are told apart by their key;
// each completes on its own, and both keep the name (filing tells the files apart).
TEST(MultiPartFilter, SameNameFromAnotherPosterOrGroupIsAnotherPicture)
{
    MultiWorld w;
    w.feed({"pic.jpg (1/2)", "A <a@x>"}, "1");
    w.feed({"pic.jpg (1/2)", "B <b@x>"}, "2");
    w.filter.setCurrentGroup("alt.other");
    w.feed({"pic.jpg (2/2)", "A <a@x>"}, "3");
    w.filter.setCurrentGroup("alt.test");
    w.feed({"pic.jpg (2/2)", "B <b@x>"}, "4");
    ASSERT_EQ(w.texts(), (QList<QByteArray>{"pic.jpg", "pic.jpg", "pic.jpg"}));
    EXPECT_EQ(w.pending.entry(0).parts.seen.size(), 1);
    EXPECT_EQ(w.pending.entry(1).parts.seen.size(), 2);
    EXPECT_EQ(w.pending.entry(2).sub.newsgroup, "alt.other");
    EXPECT_EQ(w.ctx.state.pendingCount, 1);
    EXPECT_EQ(w.pending.firstDownloadable(), 1);
    // A single-part post of the name is a duplicate of the pending pictures.
    w.feed({"pic.jpg"}, "5");
    EXPECT_EQ(w.counters.dupeCount, 1);
}

// With the option off every verdict, counter and byte of pending.dat stays as it was.
TEST(MultiPartFilter, OptionOffKeepsTodaysVerdictsAndBytes)
{
    const QList<Part> parts = {{"pic.jpg (2/3)"},
                               {"\"a.jpg\" yEnc (1/3)"},
                               {"b.jpg part 2 of 5"},
                               {"\"c.jpg\" yEnc (1/1)"},
                               {"d.jpg"},
                               {"e.jpg 3/4"}};
    MultiWorld off(false);
    off.ctx.settings.setChecked(u"chkOverall", true);
    for (const Part &p : parts)
        off.feed(p, "9");
    EXPECT_EQ(off.texts(), (QList<QByteArray>{"!No 1/1 or 1\\1 in subject", "!No 1/1 or 1\\1 in subject",
                                              "b.jpg", "c.jpg", "d.jpg", "!No 1/1 or 1\\1 in subject"}));
    EXPECT_EQ(off.counters.notPicCount, 3);
    for (int i = 0; i < off.pending.count(); ++i)
        EXPECT_FALSE(off.pending.entry(i).parts.isMultiPart());

    // Single-part posts give the same pending.dat with the option on.
    MultiWorld plainOff(false);
    MultiWorld plainOn(true);
    for (MultiWorld *w : {&plainOff, &plainOn}) {
        for (const Part &p : {parts[3], parts[4]})
            w->feed(p, "9");
        ASSERT_TRUE(w->pending.savePending());
        EXPECT_FALSE(QFile::exists(w->folder.file("pending.parts")));
    }
    EXPECT_EQ(plainOff.folder.read("pending.dat"), plainOn.folder.read("pending.dat"));
}

} // namespace
} // namespace kestrel::test
