#include "scan/scan_fixture.h"

namespace kestrel::test {
namespace {

TEST(NoRedlList, AddsWholeUpperCasedNamesOnceSavesAtOnceAndTellsTheSize)
{
    ScanWorld w;
    w.noRedl.addToNoRedl("a.jpg"); // five characters: never recorded
    w.noRedl.addToNoRedl("ab.jpg");
    w.noRedl.addToNoRedl("AB.jpg"); // same name, other case
    w.noRedl.addToNoRedl("xpic.jpg");
    w.noRedl.addToNoRedl("pic.jpg"); // a listed name ends with it: still a new name
    EXPECT_EQ(w.noRedl.text(), "AB.JPG,XPIC.JPG,PIC.JPG,");
    EXPECT_EQ(w.folder.read("NOREDL.TXT"), "AB.JPG,XPIC.JPG,PIC.JPG,");
    EXPECT_EQ(w.noRedl.sizeCaption(), QStringLiteral("Size of downloaded files list: 0.0 kb"));
    w.folder.write("NOREDL.TXT", QByteArray(1234567, 'X'));
    w.noRedl.loadNoRedl();
    EXPECT_EQ(w.noRedl.sizeCaption(), QStringLiteral("Size of downloaded files list: 1,234.6 kb"));
}

TEST(NoRedlList, MatchesWholeNamesOnlyAndAppendsToItsFile)
{
    ScanWorld w;
    w.folder.write("NOREDL.TXT", "ba.jpg,Pic0001.JPG,A,B.JPG,LAST.GIF");
    w.noRedl.loadNoRedl();
    EXPECT_EQ(w.noRedl.text(), "BA.JPG,PIC0001.JPG,A,B.JPG,LAST.GIF");
    struct Case {
        const char *name;
        bool listed;
    } cases[] = {
        {"ba.jpg", true},  {"a.jpg", false}, {"pic0001.jpg", true}, {"IC0001.JPG", false},
        {"a,b.jpg", true}, {"b.jpg", true},  {"last.gif", true},    {"AST.GIF", false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(w.noRedl.contains(c.name), c.listed) << c.name;
    // The lost final comma is put back before the next name, so names stay apart.
    w.noRedl.addToNoRedl("next.jpg");
    EXPECT_EQ(w.folder.read("NOREDL.TXT"), "BA.JPG,PIC0001.JPG,A,B.JPG,LAST.GIF,NEXT.JPG,");
    // Someone else changed the file meanwhile: the list is written whole again, then appended to.
    w.folder.write("NOREDL.TXT", "X");
    w.noRedl.addToNoRedl("new2.jpg");
    w.noRedl.addToNoRedl("new3.jpg");
    EXPECT_EQ(w.folder.read("NOREDL.TXT"), "BA.JPG,PIC0001.JPG,A,B.JPG,LAST.GIF,NEXT.JPG,NEW2.JPG,NEW3.JPG,");
}

TEST(NoRedlList, ResetAsksAndEmptiesOnlyOnYes)
{
    ScanWorld w;
    w.noRedl.addToNoRedl("first.jpg");
    w.prompter.answers = {false};
    EXPECT_FALSE(w.noRedl.resetNoRedl());
    EXPECT_TRUE(w.noRedl.contains("first.jpg"));
    w.prompter.answers = {true};
    EXPECT_TRUE(w.noRedl.resetNoRedl());
    EXPECT_FALSE(w.noRedl.contains("first.jpg"));
    ASSERT_TRUE(w.noRedl.saveNoRedl());
    NoRedlList again(w.ctx);
    again.loadNoRedl();
    EXPECT_TRUE(again.text().isEmpty());
}

TEST(checkUUName, DecidesTheNameAndRecordsTheUuencodeName)
{
    struct Case {
        const char *text;
        bool useUuName, deleteFound;
        const char *expected;
        const char *lastLog;
    } cases[] = {
        {"no begin line here", false, true, "subj.jpg", nullptr},
        {"begin 644 SUBJ.JPG\r\nM...", false, true, "subj.jpg", "Filename subject/uucode match verified"},
        {"begin 644 other.jpg\r\nM", false, true, "subj.jpg", "other.jpg not found in noredl, adding."},
        {"begin 644 other.jpg\r\nM", true, true, "other.jpg", "other.jpg not found in noredl, adding."},
        {"begin 644 known.jpg\r\nM", true, true, "KILL", "known.jpg found in noredl, deleting."},
        // Unticked "do not save": the picture is saved under the chosen name.
        {"begin 644 known.jpg\r\nM", false, false, "subj.jpg", "uucode: known.jpg subject: subj.jpg"},
        {"begin 644 known.jpg\r\nM", true, false, "known.jpg", "uucode: known.jpg subject: subj.jpg"},
    };
    for (const Case &c : cases) {
        ScanWorld w;
        w.noRedl.addToNoRedl("known.jpg");
        w.ctx.settings.setChecked(u"chkUseNameFromUUE", c.useUuName);
        w.ctx.settings.setChecked(u"chkDeleteUUfoundfile", c.deleteFound);
        EXPECT_EQ(w.noRedl.checkUUName(c.text, "subj.jpg"), QByteArray(c.expected)) << c.text;
        if (c.lastLog) {
            ASSERT_FALSE(w.ctx.log.entries().isEmpty());
            EXPECT_TRUE(w.ctx.log.entries().first().endsWith(QLatin1String(c.lastLog)))
                << w.ctx.log.entries().first().toStdString();
        } else {
            EXPECT_TRUE(w.ctx.log.entries().isEmpty());
        }
    }
    ScanWorld w;
    w.noRedl.checkUUName("begin 644 fresh.jpg\nM", "subj.jpg");
    EXPECT_TRUE(w.noRedl.contains("fresh.jpg"));
}

TEST(Blacklist, FileRoundTripAndImmediateSaves)
{
    ScanWorld w;
    w.folder.write("BLKLIST.TXT", "spam.com\r\n\r\n Odd Case \r\nlast\r\n\r\n");
    w.blacklist.loadBlacklist();
    EXPECT_EQ(w.blacklist.entries(), (QList<QByteArray>{"spam.com", " Odd Case ", "last"}));
    w.blacklist.addToBlacklist("SPAM.COM"); // already listed in another case
    w.blacklist.addToBlacklist("   ");      // blank
    EXPECT_EQ(w.blacklist.entries().size(), 3);
    w.blacklist.addToBlacklist("new");
    EXPECT_EQ(w.folder.read("BLKLIST.TXT"), "spam.com\r\n Odd Case \r\nlast\r\nnew\r\n\r\n");
    for (int i = 0; i < 4; ++i)
        w.blacklist.removeAt(0);
    // The emptied list sticks: the file is emptied, not left as it was.
    EXPECT_TRUE(w.folder.exists("BLKLIST.TXT"));
    EXPECT_EQ(w.folder.read("BLKLIST.TXT"), "");
}

TEST(Blacklist, FirstEntryInListOrderWinsAndSwitchOffDisablesIt)
{
    ScanWorld w;
    for (const char *e : {"zzz", "  abc ", "", "xx", "b"})
        w.blacklist.addToBlacklist(e);
    struct Case {
        const char *text, *hit;
    } cases[] = {
        {"xxABCxx", "ABC"}, {"aXXb", "XX"}, {"b", "B"}, {"nothing here", ""}, {"ZZZ and b", "ZZZ"}, {"", ""},
    };
    for (const Case &c : cases)
        EXPECT_EQ(w.blacklist.matchBlacklist(c.text), QByteArray(c.hit)) << c.text;
    w.ctx.settings.setNumber(u"chkBLemail", 2); // dimmed is not ticked
    EXPECT_EQ(w.blacklist.matchBlacklist("xxABCxx"), QByteArray());
}

TEST(BlacklistMatcher, AgreesWithPlainSearchOnOverlappingEntries)
{
    const QList<QByteArray> entries{"ABCD", "BC", "CDE", "E", "AAB", "A.B"};
    BlacklistMatcher m;
    m.build(entries);
    const char *texts[] = {"xabcdex", "aaab", "cd", "a.b", "ab", "bcde", "zzzz", "aabcd"};
    for (const char *t : texts) {
        const QByteArray up = QByteArray(t).toUpper();
        int expected = -1;
        for (int i = 0; i < entries.size() && expected < 0; ++i)
            if (up.contains(entries[i]))
                expected = i;
        EXPECT_EQ(m.firstMatch(t), expected) << t;
    }
}

TEST(DupePaths, NormalisesLoadsAddsAndRemoves)
{
    ScanWorld w;
    w.folder.write("DUPEPATH.TXT", "  /pics  \r\n\r\n/other/\r\n");
    w.dupePaths.loadDupePaths();
    EXPECT_EQ(w.dupePaths.entries(), (QList<QByteArray>{"/pics/", "/other/"}));
    w.folder.write("DUPEPATH.TXT", "stale");
    w.dupePaths.addDupeFolder(QStringLiteral("/PICS")); // listed in another case: only rewrites
    EXPECT_EQ(w.folder.read("DUPEPATH.TXT"), "/pics/\r\n/other/\r\n");
    w.dupePaths.removeRows({1, 0});
    EXPECT_EQ(w.folder.read("DUPEPATH.TXT"), "");
}

TEST(DupePaths, AddsOneLevelOfSubfoldersAndFindsFiles)
{
    ScanWorld w;
    QDir root(w.folder.path());
    root.mkpath(QStringLiteral("tree/a/deep"));
    root.mkpath(QStringLiteral("tree/b"));
    root.mkpath(QStringLiteral("tree/.thumbnails"));
    w.folder.write("tree/b/PIC.JPG", "x");
    w.folder.write("tree/b/.hidden.jpg", "x");
    w.folder.write("tree/.thumbnails/thumb.jpg", "x");
    w.dupePaths.addSubfolders(w.folder.file("tree"));
    const QByteArray base = QFile::encodeName(w.folder.file("tree"));
    EXPECT_EQ(w.dupePaths.entries(), (QList<QByteArray>{base + "/a/", base + "/b/"}));
    const struct {
        QByteArray name;
        bool found;
    } cases[] = {
        {"pic.jpg", true},   {"PIC.JPG", true},       {"Pic.Jpg", true}, {".HIDDEN.JPG", true},
        {"PIC.JPG2", false}, {"../b/pic.jpg", false}, {"deep", false},   {"thumb.jpg", false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(w.dupePaths.containsFile(c.name), c.found) << c.name.constData();
}

// Names are read once per folder, so the set must follow files Kestrel stores at once
// and everything else from the next scan on.
TEST(DupePaths, FolderNamesFollowStoredFilesAndScanStarts)
{
    ScanWorld w;
    QDir(w.folder.path()).mkpath(QStringLiteral("have"));
    w.dupePaths.addDupeFolder(w.folder.file("have"));
    EXPECT_FALSE(w.dupePaths.containsFile("a.jpg"));

    w.folder.write("have/a.jpg", "x");
    w.dupePaths.noteStoredFile(w.folder.file("have/a.jpg"));
    w.folder.write("have/b.jpg", "x"); // put there by someone else
    w.dupePaths.noteStoredFile(w.folder.file("elsewhere/c.jpg"));
    EXPECT_TRUE(w.dupePaths.containsFile("A.JPG"));
    EXPECT_FALSE(w.dupePaths.containsFile("b.jpg"));
    EXPECT_FALSE(w.dupePaths.containsFile("c.jpg"));

    QFile::remove(w.folder.file("have/a.jpg"));
    w.dupePaths.foldersMayHaveChanged();
    EXPECT_FALSE(w.dupePaths.containsFile("a.jpg"));
    EXPECT_TRUE(w.dupePaths.containsFile("b.jpg"));
}

} // namespace
} // namespace kestrel::test
