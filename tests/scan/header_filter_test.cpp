#include "scan/scan_fixture.h"

#include "base/text_util.h"
#include "scan/csv_lookup.h"
#include "scan/header_filter.h"

#include <QHash>

namespace kestrel::test {
namespace {

// A CSV index of a few records, enough to see what the filter does with one.
class TinyCsv final : public CsvLookup {
public:
    bool csvLoaded() const override { return true; }
    QByteArray csvFindRecord(const QByteArray &name) const override { return records.value(name.toUpper()); }
    QByteArray csvSeriesName(const QByteArray &file) const override { return "Series " + file; }
    QHash<QByteArray, QByteArray> records;
};

struct Headers {
    QByteArray subject = "pic.jpg";
    QByteArray lines = "500";
    QByteArray from = "Poster <poster@example.com>";
    QByteArray org = "Example Org";
    QByteArray host = "host.example.com";
    QByteArray xref = "news.example.com alt.test:5";

    // The HEAD reply shape: status line, header lines, the closing dot.
    QByteArray head() const
    {
        QByteArray b = "221 5 <id@x> article\r\nPath: a!b\r\nFrom: " + from + "\r\nSubject: " + subject +
                       "\r\nDate: Sun, 1 Mar 2026 10:00:00 GMT\r\n";
        if (!org.isEmpty())
            b += "Organization: " + org + "\r\n";
        if (!lines.isEmpty())
            b += "Lines: " + lines + "\r\n";
        b += "NNTP-Posting-Host: " + host + "\r\n";
        if (!xref.isEmpty())
            b += "Xref: " + xref + "\r\n";
        return b + ".\r\n";
    }
};

struct FilterWorld : ScanWorld {
    FilterCounters counters;
    NoCsvIndex noCsv;
    HeaderFilter filter{ctx, counters, pending, noRedl, blacklist, dupePaths, noCsv};
    FilterWorld() { filter.setCurrentGroup("alt.test"); }
};

using Counter = qint32 FilterCounters::*;
using FC = FilterCounters;

// Besides the subject, one thing a case changes from an accepted article.
enum Change { Same, Lines, Xref, Black, Fetched, Queued, DupeFolder };

struct RejectCase {
    const char *what;
    const char *subject; // nullptr: the default one
    Change change;
    const char *value;
    const char *label; // nullptr: accepted
    Counter counter;   // the one counter that moves besides ReadCount
    std::optional<CheckKey> flip = std::nullopt;
};

const char *soundOf(Counter c)
{
    return c == nullptr ? "added.wav" : c == &FC::spamCount ? "other.wav" : "spam.wav";
}

const RejectCase kCases[] = {
    {"lines at max", nullptr, Lines, "4000", nullptr, nullptr},
    {"lines above max", nullptr, Lines, " 4001", "!Above Max Lines", &FC::linesKilledCount},
    {"lines at min", nullptr, Lines, "100", nullptr, nullptr},
    {"lines below min", nullptr, Lines, "9 9", "!Below Min Lines", &FC::linesKilledCount},
    {"no Lines header counts as 1000", nullptr, Lines, "", nullptr, nullptr},
    {"no picture, GIF allowed", "pic.bmp", Same, nullptr, "!No JPG, GIF, or PNG in subject", &FC::notPicCount,
     CheckKey("chkAllowGIF")},
    {"no picture, only PNG allowed", "pic.bmp", Same, nullptr, "!No JPG in subject", &FC::notPicCount,
     CheckKey("chkAllowPNG")},
    {"gif not allowed", "pic.gif", Same, nullptr, "!No JPG in subject", &FC::notPicCount},
    {"jpg not required", "holiday snap", Same, nullptr, nullptr, nullptr, CheckKey("chkRequireJPG")},
    {"part 2 of 3", "pic.jpg (2/3)", Same, nullptr, "!No 1/1 or 1\\1 in subject", &FC::notPicCount},
    {"1/10 holds 1/1", "pic.jpg (1/10)", Same, nullptr, nullptr, nullptr},
    {"01/01", "pic (01/01).jpg", Same, nullptr, nullptr, nullptr},
    {"11/12", "pic.jpg (11/12)", Same, nullptr, nullptr, nullptr},
    {"too many crossposts", nullptr, Xref, "s a:1 b:2 c:3 d:4 e:5 f:6 g:7 h:8 i:9 j:10 k:11",
     "!Too many crossposts", &FC::spamCount},
    {"crossposts at the limit", nullptr, Xref, "s a:1 b:2 c:3 d:4 e:5 f:6 g:7 h:8 i:9 j:10", nullptr,
     nullptr},
    {"blacklisted subject", "xxABCxx.jpg", Black, "abc", "!SPAM in subject - ABC", &FC::spamCount},
    {"blacklisted posting host", nullptr, Black, " .EXAMPLE.com ", "!SPAM in posting host - .EXAMPLE.COM",
     &FC::spamCount},
    {"blacklisted organization", nullptr, Black, "ample org", "!SPAM in Org - AMPLE ORG", &FC::spamCount},
    {"blacklisted From display name", nullptr, Black, "poster <", "!SPAM in email address - POSTER <",
     &FC::spamCount},
    {"blacklist switched off", nullptr, Black, "poster", nullptr, nullptr, CheckKey("chkBLemail")},
    {"already pending", nullptr, Queued, "PIC.JPG", "!Duplicate", &FC::dupeCount},
    {"already fetched", nullptr, Fetched, "pic.jpg", "!Duplicate", &FC::dupeCount},
    {"a longer fetched name is another file", "a.jpg", Fetched, "ba.jpg", nullptr, nullptr},
    {"in a duplicate folder", nullptr, DupeFolder, "have", "!Duplicate", &FC::dupeCount},
    {"require CSV without an index", nullptr, Same, nullptr, nullptr, nullptr, CheckKey("chkIgnoreCSV")},
};

TEST(HeaderFilter, EachRuleRejectsWithItsLabelCounterAndSound)
{
    for (const RejectCase &c : kCases) {
        for (bool showAll : {false, true}) {
            SCOPED_TRACE(c.what);
            FilterWorld w;
            w.enableSounds();
            w.ctx.settings.setChecked(u"chkOverall", showAll);
            Headers h;
            if (c.subject)
                h.subject = c.subject;
            if (c.flip)
                w.ctx.settings.setChecked(*c.flip, !w.ctx.settings.checked(*c.flip));
            switch (c.change) {
            case Same:
                break;
            case Lines:
                h.lines = c.value;
                break;
            case Xref:
                h.xref = c.value;
                break;
            case Black:
                w.blacklist.addToBlacklist(c.value);
                break;
            case Fetched:
                w.noRedl.addToNoRedl(c.value);
                break;
            case Queued:
                w.addQueued(c.value);
                break;
            case DupeFolder:
                w.folder.write("have/pic.jpg", "x");
                w.dupePaths.addDupeFolder(w.folder.file("other"));
                w.dupePaths.addDupeFolder(w.folder.file("have"));
            }
            const int before = w.pending.count();
            w.filter.filterArticleHeader(h.head(), " 5");
            EXPECT_EQ(w.counters.readCount, 1);
            EXPECT_EQ(w.counters.scanHeaderCount, 1);
            for (Counter k : {&FC::linesKilledCount, &FC::notPicCount, &FC::spamCount, &FC::dupeCount})
                EXPECT_EQ(w.counters.*k, k == c.counter ? 1 : 0);
            const bool listed = c.label == nullptr || showAll;
            ASSERT_EQ(w.pending.count(), before + (listed ? 1 : 0));
            if (!showAll) {
                EXPECT_EQ(w.ctx.sound.lastPlayed(), QLatin1String(soundOf(c.counter)));
            }
            if (!listed)
                continue;
            const PendingEntry &e = w.pending.entry(w.pending.count() - 1);
            EXPECT_EQ(e.ghosted, c.label != nullptr);
            if (c.label) {
                EXPECT_EQ(e.text, QByteArray(c.label));
            }
            EXPECT_EQ(e.tag.value(), 5);
            EXPECT_EQ(w.ctx.state.pendingCount, c.label ? before : before + 1);
        }
    }
}

TEST(HeaderFilter, AcceptedEntryCarriesTheHeaderValues)
{
    FilterWorld w;
    Headers h;
    h.subject = "[1/1] - \"holiday.jpg\" yEnc";
    h.lines.clear();
    h.xref = "s a:1 b:2 c:3";
    w.filter.filterArticleHeader(h.head(), "77");
    ASSERT_EQ(w.pending.count(), 1);
    const PendingEntry &e = w.pending.entry(0);
    EXPECT_EQ(e.text, "holiday.jpg");
    EXPECT_EQ(e.sub, (PendingSubItems{ListNumber(1000), h.subject, "Example Org", "host.example.com",
                                      "poster@example.com", "alt.test", ListNumber(3)}));
    EXPECT_EQ(e.smallIcon, 1);
}

// An entry rejected before the name is cut out lists no name and no picture kind.
TEST(HeaderFilter, PictureKindPicksTheNameVariantAndIcon)
{
    FilterWorld w;
    w.ctx.settings.setChecked(u"chkOverall", true);
    w.ctx.settings.setChecked(u"chkAllowGIF", true);
    w.ctx.settings.setChecked(u"chkAllowPNG", true);
    Headers h;
    h.subject = "(one.png) and (two.gif)";
    w.filter.filterArticleHeader(h.head(), "1");
    h.subject = "(three.png)";
    w.filter.filterArticleHeader(h.head(), "2");
    h.subject = "pic.gif";
    h.lines = "1";
    w.filter.filterArticleHeader(h.head(), "3");
    EXPECT_EQ(w.texts(), (QList<QByteArray>{"(two.gif", "(three.png", "!Below Min Lines"}));
    EXPECT_EQ(w.pending.entry(0).smallIcon, 2);
    EXPECT_EQ(w.pending.entry(1).smallIcon, 1); // only GIF gets its own icon here
    EXPECT_EQ(w.pending.entry(2).smallIcon, 1);
}

TEST(HeaderFilter, SpamScanListsOnlyWhatWouldBeThrownAway)
{
    for (bool showAll : {false, true}) {
        FilterWorld w;
        w.ctx.settings.setChecked(u"chkOverall", showAll);
        w.ctx.settings.setChecked(u"chkSpamScan", true);
        Headers good;
        Headers bad;
        bad.lines = "5";
        w.filter.filterArticleHeader(good.head(), "1");
        w.filter.filterArticleHeader(bad.head(), "2");
        EXPECT_EQ(w.counters.readCount, 2);
        EXPECT_EQ(w.counters.linesKilledCount, 1);
        EXPECT_EQ(w.texts(), showAll ? QList<QByteArray>{"!Below Min Lines"} : QList<QByteArray>{});
        EXPECT_EQ(w.ctx.state.pendingCount, 0);
    }
}

TEST(HeaderFilter, CsvRecordRenamesAndDescribes)
{
    FilterWorld w;
    TinyCsv csv;
    csv.records.insert("PIC.JPG", "Pic.JPG ,1234,ABCD1234,A description, with comma\rseries1");
    csv.records.insert("BARE.JPG", "bare\rseries2");
    HeaderFilter filter(w.ctx, w.counters, w.pending, w.noRedl, w.blacklist, w.dupePaths, csv);
    w.ctx.settings.setChecked(u"chkIgnoreCSV", true);
    w.ctx.settings.setChecked(u"chkOverall", true);
    for (const char *s : {"pic.jpg", "bare.jpg", "unknown.jpg"}) {
        Headers h;
        h.subject = s;
        filter.filterArticleHeader(h.head(), "1");
    }
    ASSERT_EQ(w.pending.count(), 3);
    EXPECT_EQ(w.pending.entry(0).text, "Pic.JPG");
    EXPECT_EQ(w.pending.entry(0).sub.subject, "Series series1: A description, with comma");
    EXPECT_EQ(w.pending.entry(0).smallIcon, 3);
    EXPECT_EQ(w.pending.entry(1).text, "bare.jpg");
    EXPECT_EQ(w.pending.entry(1).sub.subject, "bare.jpg");
    EXPECT_EQ(w.pending.entry(1).smallIcon, 3);
    EXPECT_EQ(w.pending.entry(2).text, "!Not in CSV");
    EXPECT_EQ(w.counters.linesKilledCount + w.counters.notPicCount + w.counters.spamCount +
                  w.counters.dupeCount,
              0);
}

TEST(HeaderFilter, OverviewShapedBlocksAndMissingFields)
{
    struct Case {
        QByteArray block;
        const char *subject, *org, *host, *lines;
        int crossposts;
    } cases[] = {
        {"Subject: ov.jpg\r\nFrom: a@b\r\nDate: x\r\nMessage-ID: <m@x>\r\nReferences: \r\nBytes: 9\r\nLines: "
         "200\r\nXref: s g:1 h:2",
         "ov.jpg", "", "", " 200", 2},
        {"221 9 <m@x>\r\nFrom: a@b\r\n.\r\n", "221 9 <m@x>", "", "", "1000", 1},
        {"Subject:", "", "", "", "1000", 1},
        {"NNTP-Posting-Host:   spaced  \r\nX-Subject: sneaky\r\n", "sneaky", "", "spaced", "1000", 1},
    };
    for (const Case &c : cases) {
        const HeaderFields f = parseHeaderFields(c.block);
        EXPECT_EQ(f.subject, QByteArrayView(c.subject)) << c.block.constData();
        EXPECT_EQ(f.organization, QByteArrayView(c.org));
        EXPECT_EQ(f.postingHost, QByteArrayView(c.host));
        EXPECT_EQ(f.lines, QByteArrayView(c.lines));
        EXPECT_EQ(countCrossposts(f.xref), c.crossposts);
    }
}

TEST(NumericValue, ReadsTheLeadingNumberSkippingBlanks)
{
    struct Case {
        const char *text;
        double value;
    } cases[] = {
        {" 1234", 1234}, {"2 5 x", 25}, {"\t-12.5e1z", -125}, {"abc", 0},   {"", 0},
        {"1e", 1},       {"+.5", 0.5},  {"221 5 <id>", 2215}, {"\n7\n", 7},
    };
    for (const Case &c : cases)
        EXPECT_DOUBLE_EQ(numericValue(c.text), c.value) << c.text;
}

TEST(TextUtil, WordWideUpperCasingMatchesTheByteRule)
{
    for (int b = 0; b < 256; ++b) {
        for (int pos = 0; pos < 8; ++pos) {
            char bytes[8] = {'a', 'Z', '`', '{', char(0xE1), '@', 'q', '['};
            bytes[pos] = char(b);
            char expected[8];
            for (int i = 0; i < 8; ++i)
                expected[i] = asciiUpper(bytes[i]);
            upperAsciiInPlace(bytes, 8);
            ASSERT_EQ(QByteArray(bytes, 8), QByteArray(expected, 8)) << b << " at " << pos;
        }
    }
}

} // namespace
} // namespace kestrel::test
