#include "ui_fixture.h"

#include "ui/find_window.h"
#include "ui/main_window.h"
#include "ui/pending_list_view.h"

#include "scan/blacklist.h"
#include "scan/noredl_list.h"
#include "scan/pending_list_model.h"

#include <QAction>
#include <QCheckBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>

using namespace kestrel;
using kestrel::test::UiFixture;

namespace {

struct PendingListViewTest : UiFixture {
    NoRedlList noRedl{ctx};
    Blacklist blacklist{ctx};
    PendingListModel model{ctx, noRedl, blacklist};
    MainWindow win{ctx};
    PendingListView *list = nullptr;

    PendingListViewTest()
    {
        // Entries A..D; C is ghosted (rejected, shown for information).
        for (const char *c : {"A", "B", "C", "D"}) {
            const QByteArray l = QByteArray(c).toLower();
            model.addArticleHeader(l + "@x", *c == 'C' ? "subject c.png (1/1)" : "subject " + l,
                                   *c == 'B' ? "XABCX" : "Org" + QByteArray(c), "1", "1234", "host-" + l, 1,
                                   *c == 'C', "!REJECTED", false, false, "pic" + QByteArray(c) + ".jpg",
                                   "alt.test");
        }
        list = new PendingListView(win, model);
    }

    QTreeView *view() const { return win.pendingView(); }

    void clickRow(int row, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        const QRect r = view()->visualRect(view()->model()->index(row, 0));
        QTest::mouseClick(view()->viewport(), Qt::LeftButton, mods, r.center());
    }

    QStringList texts() const
    {
        QStringList out;
        for (int i = 0; i < model.count(); ++i)
            out << QString::fromLatin1(model.entry(i).text);
        return out;
    }

    // The rows selected in the model, and the same in the view, or -1 where they differ.
    QList<int> selectedRows() const
    {
        QList<int> rows;
        for (int i = 0; i < model.count(); ++i) {
            const bool inView = view()->selectionModel()->isRowSelected(i, QModelIndex());
            if (model.entry(i).selected || inView)
                rows << (model.entry(i).selected == inView ? i : -1);
        }
        return rows;
    }

    void trigger(const char *action)
    {
        QAction *a = list->menu()->findChild<QAction *>(QString::fromLatin1(action));
        ASSERT_NE(a, nullptr) << action;
        a->trigger();
    }
};

TEST_F(PendingListViewTest, ClicksInTheViewSelectInTheModel)
{
    win.show();
    clickRow(1);
    clickRow(3, Qt::ControlModifier);
    EXPECT_EQ(selectedRows(), (QList<int>{1, 3}));
    clickRow(0);
    EXPECT_EQ(selectedRows(), QList<int>{0});
}

TEST_F(PendingListViewTest, ModelSelectionShowsInTheViewAndSurvivesRowChanges)
{
    model.setSelected(1, true);
    model.setSelected(3, true);
    EXPECT_EQ(selectedRows(), (QList<int>{1, 3}));
    // Moving to the top inserts copies and removes the originals: B D A C.
    model.moveToTop();
    EXPECT_EQ(texts(), (QStringList{"picB.jpg", "picD.jpg", "picA.jpg", "!REJECTED"}));
    EXPECT_EQ(selectedRows(), (QList<int>{0, 1}));
    model.setSelected(0, false);
    // A scan appending entries leaves the selection alone; a selected entry put back at
    // the top (as a loaded or re-queued one may be) shows selected.
    model.addArticleHeader("e@x", "subject e", "OrgE", "1", "1234", "host-e", 1, false, "!REJECTED", false,
                           false, "picE.jpg", "alt.test");
    EXPECT_EQ(selectedRows(), QList<int>{1});
    model.setSelected(4, true);
    model.moveToTop();
    EXPECT_EQ(selectedRows(), (QList<int>{0, 1}));
    EXPECT_EQ(texts().mid(0, 2), (QStringList{"picD.jpg", "picE.jpg"}));
}

TEST_F(PendingListViewTest, DeleteKeyAndButtonRemoveWithoutRecordingTheNames)
{
    for (const char *how : {"key", "button"}) {
        SCOPED_TRACE(how);
        const int before = model.count();
        model.setSelected(0, true);
        if (QLatin1String(how) == QLatin1String("key"))
            QTest::keyClick(view(), Qt::Key_Delete);
        else
            Q_EMIT win.deleteClicked();
        EXPECT_EQ(model.count(), before - 1);
        EXPECT_TRUE(selectedRows().isEmpty());
    }
    EXPECT_EQ(noRedl.nameCount(), 0u);
}

TEST_F(PendingListViewTest, MenuOpensOnlyWithASelectionAndActsOnIt)
{
    list->openMenu(QPoint(10, 10));
    EXPECT_FALSE(list->menu()->isVisible()) << "nothing selected: no menu";
    model.setSelected(0, true);
    list->openMenu(QPoint(10, 10));
    EXPECT_TRUE(list->menu()->isVisible());
    list->menu()->hide();

    trigger("mnuRemoveNoredl");
    EXPECT_EQ(texts(), (QStringList{"picB.jpg", "!REJECTED", "picD.jpg"}));
    EXPECT_TRUE(noRedl.contains("picA.jpg"));

    model.setSelected(1, true);
    trigger("mnuForceque");
    EXPECT_EQ(model.entry(1).text, QByteArray("c.png"));
    EXPECT_FALSE(model.entry(1).ghosted);

    model.setSelected(0, true);
    trigger("mnuBorg");
    trigger("mnuBpostinghost");
    trigger("mnuBemail");
    // The entry with the highest position among the selected (c.png) is the one used.
    EXPECT_EQ(blacklist.entries(), (QList<QByteArray>{"OrgC", "host-c", "c@x"}));

    // B stays selected: B and D go to the top in their order.
    model.setSelected(1, false);
    model.setSelected(2, true);
    trigger("mnuMoveTop");
    EXPECT_EQ(texts(), (QStringList{"picB.jpg", "picD.jpg", "c.png"}));
    trigger("mnuRemove");
    EXPECT_EQ(texts(), QStringList{"c.png"});
    EXPECT_FALSE(noRedl.contains("picD.jpg") || noRedl.contains("picB.jpg"));
}

TEST_F(PendingListViewTest, HeaderClicksSortAndToggle)
{
    QHeaderView *header = view()->header();
    header->show();
    const auto click = [&](int column) { Q_EMIT header->sectionClicked(column); };
    click(3); // Organization ascending
    EXPECT_EQ(texts(), (QStringList{"picA.jpg", "!REJECTED", "picD.jpg", "picB.jpg"}));
    EXPECT_EQ(header->sortIndicatorSection(), 3);
    click(3); // descending
    EXPECT_EQ(texts(), (QStringList{"picB.jpg", "picD.jpg", "!REJECTED", "picA.jpg"}));
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder);
    click(0); // a new column starts ascending
    EXPECT_EQ(texts(), (QStringList{"!REJECTED", "picA.jpg", "picB.jpg", "picD.jpg"}));
}

TEST_F(PendingListViewTest, FindWindowSelectsMatches)
{
    Q_EMIT win.searchSelectClicked();
    FindWindow *find = list->findWindow();
    ASSERT_TRUE(find->isVisible());
    EXPECT_EQ(find->objectName(), QStringLiteral("frmSearch"));
    // Organization XABCX; skipping ghosted entries is the model test's.
    const std::tuple<const char *, bool, QList<int>> cases[] = {
        {"", false, {}}, {"abc", true, {}}, {"abc", false, {1}}};
    for (const auto &[text, matchCase, selected] : cases) {
        for (int i = 0; i < model.count(); ++i)
            model.setSelected(i, false);
        child<QLineEdit>(*find, "txtSearch")->setText(QString::fromLatin1(text));
        child<QCheckBox>(*find, "chkCase")->setChecked(matchCase);
        click(*find, "cmdSearch");
        EXPECT_EQ(selectedRows(), selected) << text << matchCase;
        EXPECT_TRUE(child<QPushButton>(*find, "cmdSearch")->isEnabled());
    }
    click(*find, "cmdClose");
    EXPECT_FALSE(find->isVisible());
}

TEST_F(PendingListViewTest, DownloadLightStartsOnlyWithSomethingQueued)
{
    QSignalSpy start(list, &PendingListView::downloadStartRequested);
    Q_EMIT win.downloadLightClicked();
    EXPECT_EQ(start.count(), 1);

    model.clear();
    model.addArticleHeader("f", "ghost", "o", "1", "1234", "h", 1, true, "!REJECTED", false, false,
                           "picG.jpg", "alt.test");
    Q_EMIT win.downloadLightClicked();
    EXPECT_EQ(start.count(), 1) << "the warning is the pending list's";
    EXPECT_EQ(prompter.said.size(), 1u);
}

} // namespace
