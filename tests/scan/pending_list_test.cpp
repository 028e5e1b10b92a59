#include "scan/scan_fixture.h"

namespace kestrel::test {
namespace {

TEST(PendingList, AddShowsNumbersZeroPaddedAndTheAddressOfFrom)
{
    struct Case {
        const char *from, *lines;
        int crossposts;
        const char *email, *shownLines, *shownXposts;
    } cases[] = {
        {"Some Name <me@x.org>", " 1234", 3, "me@x.org", "01234", "03"},
        {"me@x.org (Some Name)", "99999.6", 123, "me@x.org ", "100000", "123"},
        {"plain", "x", 1, "plain", "00000", "01"},
        {"<open", "-5", -3, "open", "-00005", "-03"},
        {"a@b", "1e30", 0, "a@b", "1000000000000000019884624838656", "00"},
    };
    ScanWorld w;
    for (const Case &c : cases) {
        w.pending.addArticleHeader(c.from, "subj", "", "7", c.lines, "", c.crossposts, false, {}, false,
                                   false, "p.jpg", "g");
        const int row = w.pending.count() - 1;
        EXPECT_EQ(w.pending.entry(row).sub.email, QByteArray(c.email)) << c.from;
        EXPECT_EQ(w.pending.data(w.pending.index(row, 1 + ColLines)).toString(), QLatin1String(c.shownLines));
        EXPECT_EQ(w.pending.data(w.pending.index(row, 1 + ColXposts)).toString(),
                  QLatin1String(c.shownXposts));
    }
}

TEST(PendingList, MoveToTopKeepsTheRelativeOrderOfTheSelection)
{
    ScanWorld w;
    for (const char *n : {"A", "B", "C", "D"})
        w.addQueued(n);
    w.pending.headerClicked(0);
    w.pending.setSelected(1, true);
    w.pending.setSelected(3, true);
    w.pending.moveToTop();
    EXPECT_EQ(w.texts(), (QList<QByteArray>{"B", "D", "A", "C"}));
    EXPECT_FALSE(w.pending.sortingOn());
    EXPECT_EQ(w.ctx.state.pendingCount, 4);
    w.addQueued("0"); // sorting is off now: appended at the end
    EXPECT_EQ(w.texts().last(), "0");
}

TEST(PendingList, RemoveSelectedWithAndWithoutNoRedl)
{
    for (bool addToNoRedl : {false, true}) {
        ScanWorld w;
        w.addQueued("keep.jpg");
        w.addQueued("gone.jpg");
        w.addGhosted("!Below Min Lines", "x");
        w.pending.setSelected(1, true);
        w.pending.setSelected(2, true);
        w.pending.removeSelected(addToNoRedl);
        EXPECT_EQ(w.texts(), QList<QByteArray>{"keep.jpg"});
        EXPECT_EQ(w.ctx.state.pendingCount, 1);
        EXPECT_EQ(w.noRedl.contains("gone.jpg"), addToNoRedl);
        EXPECT_FALSE(w.pending.containsName("gone.jpg"));
    }
}

TEST(PendingList, RemoveWithNothingSelectedAsksToClear)
{
    ScanWorld w;
    w.addQueued("a.jpg");
    w.addGhosted("!Duplicate", "b.jpg");
    w.prompter.answers = {false, true};
    w.pending.removeSelected(true);
    EXPECT_EQ(w.pending.count(), 2);
    w.pending.removeSelected(true);
    EXPECT_EQ(w.pending.count(), 0);
    EXPECT_EQ(w.ctx.state.pendingCount, 0);
    EXPECT_TRUE(w.noRedl.text().isEmpty());
    EXPECT_EQ(w.prompter.said.back(),
              QStringLiteral("No articles selected, clear entire pending downloads list?"));
}

TEST(PendingList, ForceToQueueNamesGhostedEntriesFromTheirSubject)
{
    ScanWorld w;
    w.addGhosted("!Duplicate", "pic.png (1/1)");
    w.addGhosted("!No JPG in subject", "Re: thing.jpg");
    w.addGhosted("!Duplicate", "unselected.gif");
    w.addQueued("queued.jpg");
    w.pending.setSelected(0, true);
    w.pending.setSelected(1, true);
    w.pending.setSelected(3, true);
    w.pending.forceToQueue();
    EXPECT_EQ(w.texts(), (QList<QByteArray>{"pic.png", "thing.jpg", "!Duplicate", "queued.jpg"}));
    EXPECT_EQ(w.pending.entry(0).smallIcon, 2);
    EXPECT_EQ(w.pending.entry(1).smallIcon, 1);
    EXPECT_FALSE(w.pending.entry(0).ghosted);
    EXPECT_EQ(w.ctx.state.pendingCount, 3);
    EXPECT_TRUE(w.pending.containsName("PIC.PNG"));
}

TEST(PendingList, BlacklistSelectedUsesTheLastSelectedEntryOnly)
{
    struct Case {
        BlacklistField field;
        const char *entry;
    } cases[] = {{BlacklistField::Email, "second@x"},
                 {BlacklistField::Organization, "Org2"},
                 {BlacklistField::PostingHost, "host2"}};
    for (const Case &c : cases) {
        ScanWorld w;
        w.pending.blacklistSelected(c.field); // nothing selected: nothing happens
        w.pending.addArticleHeader("first@x", "s", "Org1", "1", "1", "host1", 1, false, {}, false, false,
                                   "a.jpg", "g");
        w.pending.addArticleHeader("second@x", "s", "Org2", "2", "1", "host2", 1, false, {}, false, false,
                                   "b.jpg", "g");
        EXPECT_TRUE(w.blacklist.entries().isEmpty());
        w.pending.setSelected(0, true);
        w.pending.setSelected(1, true);
        w.pending.blacklistSelected(c.field);
        EXPECT_EQ(w.blacklist.entries(), QList<QByteArray>{c.entry});
        EXPECT_EQ(w.pending.count(), 2);
    }
}

TEST(PendingList, FindSelectsQueuedEntriesOnly)
{
    ScanWorld w;
    w.pending.addArticleHeader("a@b", "s", "XABCX", "1", "1", "h", 1, false, {}, false, false, "one.jpg",
                               "g");
    w.pending.addArticleHeader("a@b", "s", "XABCX", "2", "1", "h", 1, true, "!Duplicate", false, false, {},
                               "g");
    w.pending.addArticleHeader("a@b", "s", "none", "3", "1", "h", 1, false, {}, false, false, "abc.jpg", "g");
    EXPECT_EQ(w.pending.findAndSelect(QStringLiteral("abc"), true), 1);
    EXPECT_FALSE(w.pending.entry(0).selected);
    EXPECT_TRUE(w.pending.entry(2).selected);
    EXPECT_EQ(w.pending.findAndSelect(QStringLiteral("abc"), false), 1);
    EXPECT_TRUE(w.pending.entry(0).selected);
    EXPECT_FALSE(w.pending.entry(1).selected);
}

TEST(PendingList, SortingReordersTheListAndPlacesNewEntries)
{
    ScanWorld w;
    for (const char *n : {"b.jpg", "C.jpg", "a.jpg"})
        w.addQueued(n);
    w.pending.headerClicked(0);
    EXPECT_EQ(w.texts(), (QList<QByteArray>{"a.jpg", "b.jpg", "C.jpg"}));
    w.pending.headerClicked(0);
    EXPECT_EQ(w.texts(), (QList<QByteArray>{"C.jpg", "b.jpg", "a.jpg"}));
    w.addQueued("bb.jpg");
    EXPECT_EQ(w.texts(), (QList<QByteArray>{"C.jpg", "bb.jpg", "b.jpg", "a.jpg"}));
    // Numbers sort as they are shown: six digits come before five starting higher.
    for (const char *lines : {"100000", "99999"})
        w.pending.addArticleHeader("a@b", "s", "", "9", lines, "", 1, false, {}, false, false, lines, "g");
    w.pending.headerClicked(1 + ColLines);
    EXPECT_EQ(w.texts().last(), "99999");
}

TEST(PendingList, RequeueTakeAndDownloadLight)
{
    ScanWorld w;
    w.addGhosted("!Duplicate", "x");
    EXPECT_FALSE(w.pending.downloadLightClicked());
    EXPECT_EQ(w.prompter.said.back(), QStringLiteral("Warning, no valid JPGs in pending download list!"));
    w.addQueued("a.jpg");
    EXPECT_EQ(w.pending.firstDownloadable(), 1);
    w.ctx.state.currentArticle = w.pending.takeAt(1);
    EXPECT_EQ(w.ctx.state.pendingCount, 0);
    w.pending.requeueArticle();
    EXPECT_EQ(w.texts(), (QList<QByteArray>{"a.jpg", "!Duplicate"}));
    EXPECT_EQ(w.ctx.state.pendingCount, 1);
    EXPECT_EQ(w.pending.addedCount(), 2);
    EXPECT_TRUE(w.pending.downloadLightClicked());
}

// Shutdown promises the article in hand first in pending.dat, also from a sorted list.
TEST(PendingList, RequeuedArticleGoesFirstEvenWhenSorted)
{
    for (const bool sorted : {false, true}) {
        ScanWorld w;
        for (const char *n : {"b.jpg", "m.jpg", "z.jpg"})
            w.addQueued(n);
        if (sorted)
            w.pending.headerClicked(0);
        w.ctx.state.currentArticle = w.pending.takeAt(1);
        w.pending.requeueArticle();
        EXPECT_EQ(w.texts(), (QList<QByteArray>{"m.jpg", "b.jpg", "z.jpg"})) << sorted;
        EXPECT_FALSE(w.pending.sortingOn()) << sorted;
        ASSERT_TRUE(w.pending.savePending());
        PendingListModel reloaded(w.ctx, w.noRedl, w.blacklist);
        reloaded.loadPending();
        ASSERT_EQ(reloaded.count(), 3) << sorted;
        EXPECT_EQ(reloaded.entry(0).text, "m.jpg") << sorted;
    }
}

} // namespace
} // namespace kestrel::test
