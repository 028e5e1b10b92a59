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
        add("picA.jpg", "subject a", "OrgA", "host-a", "a@x", false);
        add("picB.jpg", "subject b", "XABCX", "host-b", "b@x", false);
        add("picC.jpg", "subject c.png (1/1)", "OrgC", "host-c", "c@x", true);
        add("picD.jpg", "subject d", "OrgD", "host-d", "d@x", false);
        list = new PendingListView(win, model);
    }

    void add(const char *name, const char *subject, const char *org, const char *host, const char *from,
             bool ghosted)
    {
        model.addArticleHeader(from, subject, org, "1", "1234", host, 1, ghosted, "!REJECTED", false, false,
                               name, "alt.test");
    }

    QTreeView *view() const { return win.pendingView(); }
    QItemSelectionModel *selection() const { return view()->selectionModel(); }

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

    QList<int> modelSelectedRows() const
    {
        QList<int> rows;
        for (int i = 0; i < model.count(); ++i)
            if (model.entry(i).selected)
                rows << i;
        return rows;
    }

    QList<int> viewSelectedRows() const
    {
        QList<int> rows;
        for (int i = 0; i < model.count(); ++i)
            if (selection()->isRowSelected(i, QModelIndex()))
                rows << i;
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
    EXPECT_EQ(modelSelectedRows(), QList<int>{1});
    clickRow(3, Qt::ControlModifier);
    EXPECT_EQ(modelSelectedRows(), (QList<int>{1, 3}));
    clickRow(0);
    EXPECT_EQ(modelSelectedRows(), QList<int>{0});
}

TEST_F(PendingListViewTest, ModelSelectionShowsInTheViewAndSurvivesRowChanges)
{
    model.setSelected(1, true);
    model.setSelected(3, true);
    EXPECT_EQ(viewSelectedRows(), (QList<int>{1, 3}));
    // Moving to the top inserts copies and removes the originals: B D A C.
    model.moveToTop();
    EXPECT_EQ(texts(), (QStringList{"picB.jpg", "picD.jpg", "picA.jpg", "!REJECTED"}));
    EXPECT_EQ(modelSelectedRows(), (QList<int>{0, 1}));
    EXPECT_EQ(viewSelectedRows(), (QList<int>{0, 1}));
    model.setSelected(0, false);
    EXPECT_EQ(viewSelectedRows(), QList<int>{1});
    // A scan appending entries leaves the selection alone; a selected entry put back at
    // the top (as a loaded or re-queued one may be) shows selected.
    add("picE.jpg", "subject e", "OrgE", "host-e", "e@x", false);
    EXPECT_EQ(viewSelectedRows(), QList<int>{1});
    EXPECT_EQ(modelSelectedRows(), QList<int>{1});
    model.setSelected(4, true);
    model.moveToTop();
    EXPECT_EQ(viewSelectedRows(), (QList<int>{0, 1}));
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
        EXPECT_TRUE(modelSelectedRows().isEmpty());
        EXPECT_TRUE(viewSelectedRows().isEmpty());
    }
    EXPECT_EQ(noRedl.nameCount(), 0u);
}

TEST_F(PendingListViewTest, MenuOpensOnlyWithASelection)
{
    list->openMenu(QPoint(10, 10));
    EXPECT_FALSE(list->menu()->isVisible()) << "nothing selected: no menu";
    model.setSelected(0, true);
    list->openMenu(QPoint(10, 10));
    EXPECT_TRUE(list->menu()->isVisible());
    list->menu()->hide();
}

TEST_F(PendingListViewTest, MenuCommandsActOnTheSelection)
{
    model.setSelected(0, true);
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
    EXPECT_FALSE(noRedl.contains("picD.jpg"));
    EXPECT_FALSE(noRedl.contains("picB.jpg"));
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
    auto *text = child<QLineEdit>(*find, "txtSearch");
    auto *matchCase = child<QCheckBox>(*find, "chkCase");
    auto *search = child<QPushButton>(*find, "cmdSearch");
    struct Case {
        const char *text;
        bool matchCase;
        QList<int> selected;
    };
    const Case cases[] = {
        {"", false, {}},
        {"abc", true, {}},
        {"abc", false, {1}}, // Organization XABCX; skipping ghosted entries is the model test's
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        for (int i = 0; i < model.count(); ++i)
            model.setSelected(i, false);
        text->setText(QString::fromLatin1(c.text));
        matchCase->setChecked(c.matchCase);
        search->click();
        EXPECT_EQ(modelSelectedRows(), c.selected);
        EXPECT_EQ(viewSelectedRows(), c.selected);
        EXPECT_TRUE(search->isEnabled());
    }
    child<QPushButton>(*find, "cmdClose")->click();
    EXPECT_FALSE(find->isVisible());
}

TEST_F(PendingListViewTest, DownloadLightStartsOnlyWithSomethingQueued)
{
    QSignalSpy start(list, &PendingListView::downloadStartRequested);
    Q_EMIT win.downloadLightClicked();
    EXPECT_EQ(start.count(), 1);

    model.clear();
    add("picG.jpg", "ghost", "o", "h", "f", true);
    Q_EMIT win.downloadLightClicked();
    EXPECT_EQ(start.count(), 1) << "the warning is the pending list's";
    EXPECT_EQ(prompter.said.size(), 1u);
}

} // namespace
