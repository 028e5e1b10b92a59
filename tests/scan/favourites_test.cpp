#include "scan/favourites.h"

#include "base/context.h"
#include "support/temp_program_folder.h"

#include <gtest/gtest.h>

namespace kestrel::test {
namespace {

struct Favourites : ::testing::Test {
    TempProgramFolder folder;
    Context ctx{folder.path()};
    FavouritesModel favs{ctx};
};

TEST_F(Favourites, LoadsEveryFormAndSavesTheCurrentOne)
{
    folder.write("favs.txt", "alt.binaries.example,512,False\r\n"
                             "alt.test 42\r\n"
                             "alt.alone\r\n"
                             "alt.two , 7 \r\n"
                             "alt.off,9,True\r\n"
                             "alt.odd,3,maybe\r\n"
                             "alt.padded,0042,False\r\n"
                             "alt.word, abc ,False\r\n"
                             "\r\n");
    favs.loadFavs();
    // Text that is not a plain number is shown and saved as it was read.
    struct Row {
        const char *name, *lastRead;
        qint64 value;
        bool ghosted;
    } expected[] = {
        {"alt.binaries.example", "512", 512, false},
        {"alt.test", "42", 42, false},
        {"alt.alone", "0", 0, false},
        {"alt.two", "7", 7, false},
        {"alt.off", "9", 9, true},
        {"alt.odd", "3", 3, false},
        {"alt.padded", "0042", 42, false},
        {"alt.word", "abc", 0, false},
    };
    ASSERT_EQ(favs.rowCount(), 8);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(favs.row(i).name, QByteArray(expected[i].name));
        EXPECT_EQ(favs.data(favs.index(i, 1 + FavLastRead)).toString(), QLatin1String(expected[i].lastRead));
        EXPECT_EQ(favs.lastRead(expected[i].name), expected[i].value) << i;
        EXPECT_EQ(favs.row(i).ghosted, expected[i].ghosted) << i;
        EXPECT_EQ(favs.data(favs.index(i, 0), FavouritesModel::SmallIconRole).toInt(), 1);
    }
    EXPECT_TRUE(favs.saveFavs());
    EXPECT_EQ(folder.read("favs.txt"),
              "alt.binaries.example,512,False\r\nalt.test,42,False\r\nalt.alone,0,False\r\n"
              "alt.two,7,False\r\nalt.off,9,True\r\nalt.odd,3,False\r\nalt.padded,0042,False\r\n"
              "alt.word,abc,False\r\n");
}

TEST_F(Favourites, SavingNoGroupsDeletesTheFile)
{
    folder.write("favs.txt", "alt.test,1,False\r\n");
    favs.loadFavs();
    EXPECT_FALSE(favs.addFavouriteGroup(" ALT.TEST "));
    favs.removeRows(0, 1);
    ASSERT_TRUE(favs.saveFavs());
    EXPECT_FALSE(folder.exists("favs.txt"));
}

TEST_F(Favourites, MovesRowsAndResetsIcons)
{
    for (const char *g : {"a", "b", "c"})
        favs.addFavouriteGroup(g);
    favs.setSmallIcon(1, 2);
    EXPECT_TRUE(favs.moveRowBy(2, -1));
    EXPECT_FALSE(favs.moveRowBy(0, -1));
    EXPECT_EQ(favs.row(1).name, "c");
    EXPECT_TRUE(favs.row(1).selected);
    favs.resetGroupIcons();
    EXPECT_EQ(favs.row(2).smallIcon, 1);
}

TEST_F(Favourites, CountsArePaddedArticleNumbersAreNot)
{
    favs.addFavouriteGroup("a");
    EXPECT_FALSE(favs.lastRead("a"));
    EXPECT_FALSE(favs.lastRead("not.listed"));
    for (FavouriteColumn c : {FavUnread, FavLastRead, FavFirst, FavLast, FavTotal})
        favs.setNumber(0, c, 42);
    QStringList shown;
    for (int column = 1; column <= FavSubItemCount; ++column)
        shown << favs.data(favs.index(0, column)).toString();
    EXPECT_EQ(shown, (QStringList{"00042", "42", "42", "42", "00042"}));
    favs.clearNumber(0, FavLastRead);
    EXPECT_FALSE(favs.number(0, FavLastRead));
    ASSERT_TRUE(favs.saveFavs());
    EXPECT_EQ(folder.read("favs.txt"), "a,,False\r\n");
}

} // namespace
} // namespace kestrel::test
