#include "ui_fixture.h"

#include "ui/group_manager_window.h"
#include "ui/newsgroups_file_picker.h"

#include "groups/group_manager.h"
#include "groups/group_world.h"
#include "nntp/login.h"
#include "scan/favourites.h"
#include "support/wait.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeView>

using namespace kestrel;
using kestrel::test::UiFixture;
using kestrel::test::waitUntil;

namespace {

QByteArray hostList(int filler)
{
    QByteArray text = "215 list of newsgroups follows\r\n"
                      "alt.binaries.pictures.birds 1119 1000 y\r\n"
                      "rec.pictures.cats 300 181 y\r\n";
    for (int i = 0; i < filler; ++i)
        text += "alt.filler.group" + QByteArray::number(i) + " 20 10 y\r\n";
    return text + "alt.binaries.pictures 99999 0 y\r\n"
                  "alt.Binaries.misc 5 6 y\r\n.\r\n";
}

struct GroupManagerWindowTest : UiFixture {
    Login login{ctx};
    FavouritesModel favs{ctx};

    QStringList shownNames(const GroupManagerWindow &w)
    {
        const QAbstractItemModel *m = child<QTreeView>(w, "ListView1")->model();
        QStringList names;
        for (int r = 0; r < m->rowCount(); ++r)
            names << m->index(r, 0).data().toString();
        return names;
    }
    QString panel(const GroupManagerWindow &w, int n)
    {
        return labelText(w, n == 1 ? "StatusBar1Panel1" : "StatusBar1Panel2");
    }
    bool enabled(const GroupManagerWindow &w, const char *name)
    {
        return child<QWidget>(w, name)->isEnabled();
    }
    void search(GroupManagerWindow &w, const char *option, const QString &text)
    {
        click(w, option);
        child<QLineEdit>(w, "txtQR")->setText(text);
        click(w, "cmdQR");
        ASSERT_TRUE(
            waitUntil([&] { return child<QPushButton>(w, "cmdQR")->text() == QStringLiteral("Search"); }));
    }
};

TEST_F(GroupManagerWindowTest, SearchesTheLoadedListAndShowsTheRows)
{
    dir.write(QStringLiteral("HOSTGRPS.TXT"), hostList(50));
    GroupManagerWindow w(ctx, login, favs);
    w.show();
    EXPECT_TRUE(child<QRadioButton>(w, "optContains")->isChecked());
    EXPECT_TRUE(panel(w, 2).startsWith(QStringLiteral("HOSTGRPS.TXT ready; ")));
    EXPECT_FALSE(enabled(w, "cmdAdd"));

    // The matching rules are the search test's; here both options reach the search.
    const std::tuple<const char *, const char *, QStringList> cases[] = {
        {"optStartsWith", "alt.binaries.", {"alt.binaries.pictures.birds", "alt.binaries.pictures"}},
        {"optContains", "nowhere", {}},
        {"optContains",
         "pictures",
         {"alt.binaries.pictures.birds", "rec.pictures.cats", "alt.binaries.pictures"}},
    };
    for (const auto &[option, text, expected] : cases) {
        search(w, option, QString::fromLatin1(text));
        EXPECT_EQ(shownNames(w), expected) << option << " " << text;
        EXPECT_EQ(enabled(w, "cmdAdd"), !expected.isEmpty());
        EXPECT_EQ(panel(w, 1), QStringLiteral("Done! ( %1 matching groups found)  Time: Less than 1 second")
                                   .arg(expected.size()));
    }
    EXPECT_EQ(child<QTreeView>(w, "ListView1")->model()->index(1, 1).data().toString(),
              QStringLiteral("00119"));

    // A header click reaches the sorting (its rules are the group manager test's).
    Q_EMIT child<QTreeView>(w, "ListView1")->header()->sectionClicked(0);
    EXPECT_EQ(shownNames(w).front(), QStringLiteral("alt.binaries.pictures"));

    // Closing only hides; opened again, the window starts from the file afresh.
    w.close();
    EXPECT_FALSE(w.isVisible());
    w.show();
    EXPECT_TRUE(shownNames(w).isEmpty());
    EXPECT_FALSE(enabled(w, "cmdAdd"));
    EXPECT_TRUE(enabled(w, "cmdQR"));
}

TEST_F(GroupManagerWindowTest, FollowsTheControlsWhileSearchingAndAddsSelections)
{
    dir.write(QStringLiteral("HOSTGRPS.TXT"), hostList(300000));
    GroupManagerWindow w(ctx, login, favs);
    w.show();
    auto *qr = child<QPushButton>(w, "cmdQR");
    qr->click();
    ASSERT_FALSE(prompter.said.empty());
    EXPECT_TRUE(prompter.said.back().startsWith(QStringLiteral("Enter some text and press search")));
    EXPECT_EQ(qr->text(), QStringLiteral("Search"));
    // Every line matches, so the walk takes many slices.
    child<QLineEdit>(w, "txtQR")->setText(QStringLiteral("alt."));
    qr->click();
    EXPECT_EQ(qr->text(), QStringLiteral("&Stop Search"));
    EXPECT_FALSE(enabled(w, "txtQR") || enabled(w, "cmdGetHostGroups"));
    const auto shows = [&](bool searching) {
        return !child<QWidget>(w, "Frame1")->isVisible() == searching &&
               child<QProgressBar>(w, "ProgressBar1")->isVisible() == searching;
    };
    EXPECT_TRUE(shows(true));
    ASSERT_TRUE(waitUntil([&] { return w.manager().results().rowCount() > 2; }));
    qr->click(); // stop
    ASSERT_TRUE(waitUntil([&] { return qr->text() == QStringLiteral("Search"); }));
    const qsizetype aborted = w.manager().results().rowCount();
    EXPECT_LT(aborted, 300000);
    EXPECT_TRUE(
        panel(w, 1).startsWith(QStringLiteral("Search Aborted. ( %1 matching groups found)").arg(aborted)));
    EXPECT_TRUE(shows(false));
    for (const char *name : {"txtQR", "optStartsWith", "cmdGetHostGroups", "Command2"})
        EXPECT_TRUE(enabled(w, name)) << name;

    click(w, "cmdAdd");
    EXPECT_EQ(panel(w, 1), QStringLiteral("Error, no group(s) selected."));
    EXPECT_FALSE(dir.exists(QStringLiteral("favs.txt")));

    // Rows picked in the view reach the favourites and favs.txt.
    QTreeView *view = child<QTreeView>(w, "ListView1");
    for (int row : {0, 2})
        view->selectionModel()->select(view->model()->index(row, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
    click(w, "cmdAdd");
    ASSERT_EQ(favs.rowCount(), 2);
    EXPECT_EQ(favs.row(0).name, QByteArray("alt.filler.group1")); // last selected row first
    EXPECT_EQ(favs.row(1).name, QByteArray("alt.binaries.pictures.birds"));
    EXPECT_EQ(dir.read(QStringLiteral("favs.txt")).count("alt."), 2);
    const QIcon added = view->model()->index(0, 0).data(Qt::DecorationRole).value<QIcon>();
    const QIcon found = view->model()->index(1, 0).data(Qt::DecorationRole).value<QIcon>();
    EXPECT_NE(added.cacheKey(), found.cacheKey()) << "added rows are marked";
}

TEST_F(GroupManagerWindowTest, RetrievesTheHostListThroughTheWindow)
{
    auto store = std::make_shared<test::GroupOnlyStore>(test::numberedGroups(2000));
    newsd::NewsServer server(store);
    ASSERT_TRUE(server.listen());
    ctx.settings.setText(u"txtHost", QStringLiteral("127.0.0.1"));
    ctx.settings.setText(u"txtPort", QString::number(server.port()));
    GroupManagerWindow w(ctx, login, favs);
    w.show();
    EXPECT_EQ(panel(w, 1), QStringLiteral("HOSTGRPS.TXT file not found.  Download to create."));
    EXPECT_FALSE(enabled(w, "cmdQR"));
    click(w, "cmdGetHostGroups");
    EXPECT_FALSE(enabled(w, "cmdGetHostGroups") || enabled(w, "Command2"));
    ASSERT_TRUE(
        waitUntil([&] { return panel(w, 2).startsWith(QStringLiteral("HOSTGRPS.TXT ready; ")); }, 10000))
        << qPrintable(panel(w, 1));
    EXPECT_EQ(panel(w, 1), QString());
    EXPECT_TRUE(enabled(w, "cmdGetHostGroups") && enabled(w, "cmdQR"));

    search(w, "optStartsWith", QStringLiteral("alt.binaries.pictures.group199"));
    EXPECT_EQ(shownNames(w).size(), 11);
}

TEST_F(GroupManagerWindowTest, OlderPickerListsTheFileSearchesAndAdds)
{
    dir.write(QStringLiteral("NEWSGRPS.TXT"), "alt.one 5 1 y\r\nalt.two\r\n\r\nrec.three 1 1 y\r\n");
    favs.addFavouriteGroup("alt.one");
    NewsgroupsFilePicker picker(ctx, favs);
    picker.show();
    EXPECT_EQ(picker.windowTitle(), QStringLiteral("NEWSGRPS.TXT"));
    auto *list = child<QListWidget>(picker, "List1");
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(list->item(2)->text(), QStringLiteral("rec.three"));

    for (const auto &[typed, row] : {std::pair{" two ", 1}, {"t", 2}, {"t", 2}}) {
        child<QLineEdit>(picker, "Text1")->setText(QString::fromLatin1(typed));
        click(picker, "cmdSearch");
        EXPECT_EQ(list->currentRow(), row) << "the search goes on after the current entry";
    }
    EXPECT_EQ(prompter.said.back(), QStringLiteral("Search string: t not found!"));
    EXPECT_EQ(list->selectedItems().size(), 1);

    list->item(0)->setSelected(true);
    click(picker, "cmdAdd");
    EXPECT_TRUE(list->selectedItems().isEmpty());
    ASSERT_EQ(favs.rowCount(), 2) << "alt.one was a favourite already";
    EXPECT_EQ(favs.row(1).name, QByteArray("rec.three"));
    EXPECT_TRUE(dir.read(QStringLiteral("favs.txt")).contains("rec.three"));
}

} // namespace
