#include "groups/group_world.h"

#include "groups/add_group.h"

#include <QSignalSpy>

namespace kestrel::test {
namespace {

QByteArray listText(int groups, const QByteArray &special = {})
{
    QByteArray text = "215 list of newsgroups follows\r\n";
    for (int i = 0; i < groups; ++i) {
        text += "alt.binaries.group" + QByteArray::number(i) + " 200 81 y\r\n";
        if (i == groups / 2 && !special.isEmpty())
            text += special + "\r\n";
    }
    return text + ".\r\n";
}

QList<QByteArray> resultNames(GroupManager &m)
{
    QList<QByteArray> names;
    for (const GroupResultRow &r : m.results().rows())
        names.append(r.name);
    return names;
}

// Runs a search over HOSTGRPS.TXT holding `list` to its end.
bool searchFor(GroupWorld &w, const QByteArray &list, const QString &text)
{
    w.folder.write(QStringLiteral("HOSTGRPS.TXT"), list);
    w.manager.windowLoaded();
    w.manager.cmdQRClicked(text);
    return waitUntil([&] {
        return !w.manager.searching() && w.manager.controls().cmdQRCaption == QStringLiteral("Search");
    });
}

TEST(GroupManagerSearch, SearchNeedsTheFileAndReopeningRestoresTheControls)
{
    GroupWorld w;
    const QString noFile = QStringLiteral("HOSTGRPS.TXT file not found.  Download to create.");
    w.manager.windowLoaded();
    EXPECT_EQ(w.manager.statusPanel(0), noFile);
    EXPECT_FALSE(w.manager.controls().cmdQR || w.manager.controls().optContains);

    const QByteArray list = listText(3);
    w.folder.write(QStringLiteral("HOSTGRPS.TXT"), list);
    w.manager.reloadHostGroupsClicked();
    EXPECT_EQ(w.manager.groupListBuffer(), list);
    EXPECT_TRUE(w.manager.controls().cmdQR);
    EXPECT_EQ(w.manager.statusPanel(0), QString());
    EXPECT_TRUE(w.manager.statusPanel(1).startsWith(QStringLiteral("HOSTGRPS.TXT ready; ")));

    // A retrieve without a host turns every button off (and deletes the file on "Yes");
    // closing and opening the window again gives them back.
    w.ctx.settings.setText(u"txtHost", QString());
    w.prompter.answers = {true};
    w.manager.cmdGetHostGroupsClicked();
    EXPECT_FALSE(w.manager.controls().cmdGetHostGroups || w.manager.controls().reloadHostGroups ||
                 w.manager.controls().cmdQR);
    w.manager.windowLoaded();
    const GroupManagerControls &c = w.manager.controls();
    EXPECT_TRUE(c.cmdGetHostGroups && c.reloadHostGroups && c.txtQR);
    EXPECT_FALSE(c.cmdQR);
    EXPECT_EQ(w.manager.statusPanel(0), noFile);
}

// Searching, stopping a search and what the controls show meanwhile are driven through
// the window by its own test.
TEST(GroupManagerAdd, SelectionsBecomeFavouritesSavedOnce)
{
    GroupWorld w;
    w.favs.addFavouriteGroup("ALT.binaries.group1");
    ASSERT_TRUE(searchFor(w, listText(4), QStringLiteral("group")));
    ASSERT_EQ(w.manager.results().rowCount(), 4);
    for (int row : {0, 1, 3})
        w.manager.results().setSelected(row, true);
    QSignalSpy inserted(&w.favs, &QAbstractItemModel::rowsInserted);
    w.manager.cmdAddClicked();

    // Added last to first; the one already there in other letter case is skipped.
    QList<QByteArray> favNames;
    for (const FavouriteRow &r : w.favs.rows())
        favNames.append(r.name);
    EXPECT_EQ(favNames,
              (QList<QByteArray>{"ALT.binaries.group1", "alt.binaries.group3", "alt.binaries.group0"}));
    EXPECT_EQ(inserted.count(), 2);
    const QList<GroupResultRow> &rows = w.manager.results().rows();
    EXPECT_EQ(QList<int>({rows[0].smallIcon, rows[1].smallIcon, rows[2].smallIcon}), QList<int>({3, 3, 2}));
    EXPECT_EQ(w.folder.read(QStringLiteral("favs.txt")).count("alt.binaries.group"), 2);
}

TEST(GroupManagerAdd, HeaderClicksSortAndReverse)
{
    GroupWorld w;
    ASSERT_TRUE(searchFor(w, "215 x\r\nb.g 9 1 y\r\na.g 50 1 y\r\nc.g 3 1 y\r\n.\r\n", QStringLiteral(".g")));
    const std::pair<int, QList<QByteArray>> clicks[] = {
        {GroupResultsModel::NameColumn, {"a.g", "b.g", "c.g"}},
        {GroupResultsModel::NameColumn, {"c.g", "b.g", "a.g"}},
        {GroupResultsModel::LastColumn, {"c.g", "a.g", "b.g"}}, // "3" < "50" < "9"
    };
    for (const auto &[column, names] : clicks) {
        w.manager.resultHeaderClicked(column);
        EXPECT_EQ(resultNames(w.manager), names);
    }
}

TEST(AddOneGroup, TypedNamesAndTheOlderPicker)
{
    GroupWorld w;
    EXPECT_FALSE(addTypedGroup(w.favs, QStringLiteral("   ")));
    EXPECT_TRUE(addTypedGroup(w.favs, QStringLiteral("alt.Typed ")));
    EXPECT_TRUE(addTypedGroup(w.favs, QStringLiteral("ALT.typed")));
    ASSERT_EQ(w.favs.rows().size(), 1);
    EXPECT_EQ(w.favs.rows()[0].name, QByteArray("alt.Typed "));
    EXPECT_TRUE(w.folder.exists(QStringLiteral("favs.txt")));

    EXPECT_FALSE(newsgroupsFileExists(w.ctx));
    NewsgroupsPicker(w.ctx).load();
    EXPECT_EQ(w.prompter.said.back(), QStringLiteral("Groups file not found. (will create)"));
    EXPECT_TRUE(newsgroupsFileExists(w.ctx));

    w.folder.write(QStringLiteral("NEWSGRPS.TXT"), "alt.one 5 1 y\r\n\r\n  alt.two\r\nalt.three 1 1 y");
    NewsgroupsPicker picker(w.ctx);
    picker.load();
    EXPECT_EQ(picker.names(), (QList<QByteArray>{"alt.one", "alt.two", "alt.three"}));
    picker.addSelections(w.favs, {2, 0});
    ASSERT_EQ(w.favs.rows().size(), 3);
    EXPECT_EQ(w.favs.rows()[1].name, QByteArray("alt.one"));
    EXPECT_EQ(w.favs.rows()[2].name, QByteArray("alt.three"));
}

} // namespace
} // namespace kestrel::test
