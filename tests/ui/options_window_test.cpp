#include "ui_fixture.h"

#include "ui/folder_picker.h"
#include "ui/log_window.h"
#include "ui/login_window.h"
#include "ui/options_window.h"

#include "base/settings_store.h"
#include "scan/blacklist.h"
#include "scan/dupe_paths.h"
#include "scan/favourites.h"
#include "scan/noredl_list.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

using namespace kestrel;
using kestrel::test::UiFixture;

namespace {

struct OptionsWindowTest : UiFixture {
    FavouritesModel favs{ctx};
    NoRedlList noRedl{ctx};
    DupePaths dupes{ctx};
    Blacklist blacklist{ctx};
    OptionsWindow win{ctx, {favs, noRedl, dupes, blacklist}};

    OptionsWindowTest()
    {
        for (const char *name : {"alt.a", "alt.b", "alt.c"})
            favs.addFavouriteGroup(name);
    }

    QList<QByteArray> groupNames() const
    {
        QList<QByteArray> names;
        for (const FavouriteRow &r : favs.rows())
            names << r.name;
        return names;
    }
    void click(const char *name) { child<QPushButton>(win, name)->click(); }
};

TEST_F(OptionsWindowTest, ShowNewsgroupsTabTurnsToTheFirstTab)
{
    auto *tabs = child<QTabWidget>(win, "TabStrip1");
    tabs->setCurrentIndex(4);
    win.showNewsgroupsTab();
    EXPECT_EQ(tabs->currentIndex(), 0);
}

TEST_F(OptionsWindowTest, CentredOverTheMainWindowAndCloseOnlyHides)
{
    QWidget main;
    main.setGeometry(100, 80, 900, 700);
    main.show();
    OptionsWindow over(ctx, {favs, noRedl, dupes, blacklist}, &main);
    const QRect m = main.frameGeometry();
    const QRect o = over.frameGeometry();
    EXPECT_NEAR(o.center().x(), m.center().x(), 2);
    EXPECT_NEAR(o.center().y(), m.center().y(), 2);
    over.show();
    over.close();
    EXPECT_FALSE(over.isVisible());
    over.show();
    child<QPushButton>(over, "cmdClose")->click();
    EXPECT_FALSE(over.isVisible());
    ctx.settings.setChecked(u"chkSFX", false);
    EXPECT_FALSE(child<QCheckBox>(over, "chkSFX")->isChecked()) << "still bound after closing";
}

// Every setting has a control of its name in one of the three windows, bound both ways.
TEST_F(OptionsWindowTest, EverySettingRoundTripsThroughItsControl)
{
    LoginWindow login(ctx.settings);
    LogWindow log(ctx);
    const QList<QWidget *> windows{&win, &login, &log};
    ctx.settings.setChecked(u"chkOverall", true); // else Spam Scan is disabled and forced off
    ctx.settings.setChecked(u"chkAuth", true);    // else Save Password is disabled
    for (const SettingDef &d : settingsTable()) {
        const QString name = QString::fromLatin1(d.name);
        const int index = SettingsStore::requireIndex(name);
        if (name == u"SSL_Fingerprint") // kept by the connection, not edited by the user
            continue;
        SCOPED_TRACE(d.name);
        QWidget *control = nullptr;
        for (QWidget *w : windows)
            if (!control)
                control = w->findChild<QWidget *>(name);
        ASSERT_NE(control, nullptr);
        switch (d.kind) {
        case SettingKind::Check: {
            auto *box = qobject_cast<QCheckBox *>(control);
            ASSERT_NE(box, nullptr);
            // Stored 1 is a ticked box, not Qt's half-checked 1, and a click stores 0 or 1.
            const int original = ctx.settings.numberAt(index); // other boxes may depend on it
            for (int round = 0; round < 2; ++round) {
                const bool want = ctx.settings.numberAt(index) == 0;
                box->click();
                EXPECT_EQ(box->checkState(), want ? Qt::Checked : Qt::Unchecked);
                EXPECT_EQ(ctx.settings.numberAt(index), want ? 1 : 0);
            }
            ctx.settings.setNumberAt(index, 1);
            EXPECT_EQ(box->checkState(), Qt::Checked);
            ctx.settings.setNumberAt(index, 0);
            EXPECT_EQ(box->checkState(), Qt::Unchecked);
            ctx.settings.setNumberAt(index, original);
            break;
        }
        case SettingKind::Slider: {
            auto *slider = qobject_cast<QSlider *>(control);
            ASSERT_NE(slider, nullptr);
            EXPECT_EQ(slider->minimum(), d.min);
            EXPECT_EQ(slider->maximum(), d.max);
            slider->setValue(d.min + 1);
            EXPECT_EQ(ctx.settings.numberAt(index), d.min + 1);
            ctx.settings.setNumberAt(index, d.max);
            EXPECT_EQ(slider->value(), d.max);
            break;
        }
        case SettingKind::Text: {
            ctx.settings.setTextAt(index, QStringLiteral("/srv/x/"));
            if (auto *edit = qobject_cast<QLineEdit *>(control)) {
                EXPECT_EQ(edit->text(), QStringLiteral("/srv/x/"));
                edit->setText(QStringLiteral("typed"));
                EXPECT_EQ(ctx.settings.textAt(index), QStringLiteral("typed"));
            } else {
                auto *label = qobject_cast<QLabel *>(control);
                ASSERT_NE(label, nullptr);
                EXPECT_EQ(label->text(), QStringLiteral("/srv/x/"));
            }
            break;
        }
        }
    }
}

TEST_F(OptionsWindowTest, SliderCaptionsFollowTheirSliders)
{
    struct Case {
        const char *slider;
        const char *captioned;
        int value;
        const char *caption;
    };
    const Case cases[] = {
        {"sldXposts", "lblXposts", 7, "Ignore article if crossposted to more than 7 groups"},
        {"sldLineMin", "lblLineMin", 250, "Ignore article if smaller than 250 lines"},
        {"sldLineMax", "lblLineMax", 9000, "or larger than 9000 lines"},
        {"sldMaxPGPS", "chkMaxPGPS", 300, "Read Maximum 300 Headers per group per scan"},
        {"sldRescan", "chkReScan", 120, "Circular Re-Scan [120 seconds]"},
        {"sldMaxPending", "lblMaxPending", 5,
         "Allow 5 files in pending downloads list before stopping scan and starting download"},
        {"sldXOVER", "chkXOVER", 500, "XOVER burst receive 500 headers at a time"},
        {"sldTimeout", "lblTimeout", 15, "Restart connection if inactive more than 15 seconds"},
        {"sldPipeline", "lblPipeline", 1, "Article requests in flight per connection: 1"},
        {"sldConnections", "lblConnections", 4, "Download connections: 4"},
        {"sldMultiPartHours", "lblMultiPartHours", 48, "Wait for missing parts: 48 hours"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.slider);
        child<QSlider>(win, c.slider)->setValue(c.value);
        QWidget *w = child<QWidget>(win, c.captioned);
        const QString text = qobject_cast<QLabel *>(w) ? qobject_cast<QLabel *>(w)->text()
                                                       : qobject_cast<QAbstractButton *>(w)->text();
        EXPECT_EQ(text, QString::fromLatin1(c.caption));
    }
    // A value loaded before the window exists shows at once.
    ctx.settings.setNumber(u"sldRescan", 30);
    OptionsWindow later(ctx, {favs, noRedl, dupes, blacklist});
    EXPECT_EQ(child<QCheckBox>(later, "chkReScan")->text(), QStringLiteral("Circular Re-Scan [30 seconds]"));
}

TEST_F(OptionsWindowTest, CheckBoxCouplings)
{
    auto *overall = child<QCheckBox>(win, "chkOverall");
    auto *spam = child<QCheckBox>(win, "chkSpamScan");
    EXPECT_FALSE(spam->isEnabled());
    overall->click();
    EXPECT_TRUE(spam->isEnabled());
    spam->click();
    ASSERT_EQ(prompter.said.size(), 1u);
    EXPECT_TRUE(prompter.said.front().startsWith(QStringLiteral("Caution: This is a special mode")));
    overall->click();
    EXPECT_FALSE(spam->isEnabled());
    EXPECT_FALSE(ctx.settings.checked(u"chkSpamScan"));

    auto *subDirs = child<QCheckBox>(win, "chkMakeSubDirs");
    auto *shortNames = child<QCheckBox>(win, "chkShortFolderNames");
    shortNames->setChecked(true);
    subDirs->setChecked(false);
    EXPECT_FALSE(shortNames->isEnabled());
    EXPECT_TRUE(ctx.settings.checked(u"chkShortFolderNames")) << "value stays";
    subDirs->setChecked(true);
    EXPECT_TRUE(shortNames->isEnabled());
}

// Leaving AutoDownload switched off for another control of the window warns; leaving it
// on does not, and neither does the window losing the focus as a whole.
TEST_F(OptionsWindowTest, AutoDownloadWarnsOnlyWhenTheFocusMovesToAnotherControl)
{
    enum Leave { ToAnotherControl, WindowDeactivated, WindowHidden };
    const struct {
        const char *what;
        bool on;
        Leave leave;
        bool warns;
    } cases[] = {
        {"off, to another control", false, ToAnotherControl, true},
        {"on, to another control", true, ToAnotherControl, false},
        {"off, window deactivated", false, WindowDeactivated, false},
        {"off, window hidden", false, WindowHidden, false},
    };
    child<QTabWidget>(win, "TabStrip1")->setCurrentIndex(4);
    auto *autoDl = child<QCheckBox>(win, "chkAutodownload");
    QWidget elsewhere;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        win.show();
        win.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&win));
        autoDl->setChecked(c.on);
        autoDl->setFocus(Qt::TabFocusReason);
        ASSERT_TRUE(autoDl->hasFocus());
        prompter.said.clear();
        if (c.leave == ToAnotherControl) {
            child<QCheckBox>(win, "chkAllowRestart")->setFocus(Qt::TabFocusReason);
        } else if (c.leave == WindowDeactivated) {
            elsewhere.show();
            elsewhere.activateWindow();
            ASSERT_TRUE(QTest::qWaitForWindowActive(&elsewhere));
        } else {
            win.hide();
        }
        EXPECT_EQ(prompter.said.size(), c.warns ? 1u : 0u);
        if (c.warns) {
            EXPECT_TRUE(prompter.said.front().startsWith(
                QStringLiteral("Caution: You have disabled the automatic start")));
        }
        elsewhere.hide();
    }
}

TEST_F(OptionsWindowTest, GroupButtonsActOnTheViewSelectionAndWantOne)
{
    for (const char *name : {"cmdToggleRead", "cmdReset", "cmdDelete"}) {
        SCOPED_TRACE(name);
        prompter.said.clear();
        click(name);
        ASSERT_EQ(prompter.said.size(), 1u);
        EXPECT_EQ(prompter.said.front(), QStringLiteral("Error, no group selected."));
    }
    EXPECT_EQ(groupNames(), (QList<QByteArray>{"alt.a", "alt.b", "alt.c"}));

    favs.setNumber(0, FavLastRead, 120);
    favs.setNumber(2, FavLastRead, 300);
    auto *view = child<QTreeView>(win, "ListView1");
    view->selectionModel()->select(view->model()->index(0, 0),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
    view->selectionModel()->select(view->model()->index(2, 0),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
    click("cmdToggleRead");
    EXPECT_TRUE(favs.row(0).ghosted && favs.row(2).ghosted && !favs.row(1).ghosted);
    click("cmdToggleRead");
    EXPECT_FALSE(favs.row(0).ghosted || favs.row(2).ghosted);
    click("cmdReset");
    EXPECT_FALSE(favs.number(0, FavLastRead) || favs.number(2, FavLastRead));
    click("cmdDelete");
    EXPECT_EQ(groupNames(), QList<QByteArray>{"alt.b"});
}

// Where the moves stop is the favourites test's; here the buttons reach them.
TEST_F(OptionsWindowTest, MoveButtonsMoveTheSelectedGroupAndTheViewFollows)
{
    favs.setSelected(1, true);
    click("cmdUP");
    EXPECT_EQ(groupNames(), (QList<QByteArray>{"alt.b", "alt.a", "alt.c"}));
    click("cmdDN");
    EXPECT_EQ(groupNames(), (QList<QByteArray>{"alt.a", "alt.b", "alt.c"}));
    EXPECT_TRUE(child<QTreeView>(win, "ListView1")->selectionModel()->isRowSelected(1, QModelIndex()));
}

TEST_F(OptionsWindowTest, HeaderClicksSortGroups)
{
    win.groupHeaderClicked(0);
    EXPECT_EQ(groupNames(), (QList<QByteArray>{"alt.a", "alt.b", "alt.c"}));
    win.groupHeaderClicked(0);
    EXPECT_EQ(groupNames(), (QList<QByteArray>{"alt.c", "alt.b", "alt.a"}));
    win.groupHeaderClicked(1);
    win.groupHeaderClicked(0);
    EXPECT_EQ(groupNames(), (QList<QByteArray>{"alt.a", "alt.b", "alt.c"}));
}

TEST_F(OptionsWindowTest, DuplicateFoldersAndBlacklist)
{
    auto *add = child<QLineEdit>(win, "txtDupeAdd");
    const QString folder = dir.path() + QStringLiteral("/pics");
    QDir().mkpath(folder + QStringLiteral("/sub"));
    for (const QString &typed : {QStringLiteral("   "), QString()}) {
        add->setText(typed);
        click("cmdDupeAdd");
    }
    EXPECT_TRUE(dupes.entries().isEmpty());
    ctx.settings.setChecked(u"chkRecurse", true);
    add->setText(folder);
    click("cmdDupeAdd");
    EXPECT_EQ(dupes.displayEntries(), (QStringList{folder + u'/', folder + QStringLiteral("/sub/")}));
    auto *list = child<QListWidget>(win, "lstDupeDirs");
    ASSERT_EQ(list->count(), 2);
    list->item(1)->setSelected(true);
    click("Command1");
    EXPECT_EQ(dupes.displayEntries(), QStringList{folder + u'/'});

    auto *bl = child<QLineEdit>(win, "txtAddBLemail");
    bl->setText(QStringLiteral("spammer@x"));
    click("cmdAddBLemail");
    EXPECT_EQ(blacklist.entries(), QList<QByteArray>{"spammer@x"});
    EXPECT_TRUE(bl->text().isEmpty());
    click("cmdDelEmail");
    EXPECT_EQ(blacklist.entries().size(), 1) << "nothing selected";
    auto *bls = child<QListWidget>(win, "lstBLemail");
    bls->setCurrentRow(0);
    click("cmdDelEmail");
    EXPECT_TRUE(blacklist.entries().isEmpty());
}

// The question is the list's own test; here the button reaches it and the size follows.
TEST_F(OptionsWindowTest, NoRedlResetEmptiesTheListAndShowsItsSize)
{
    noRedl.addToNoRedl(QByteArray(2000, 'X'));
    auto *size = child<QLabel>(win, "lblDlistSize");
    EXPECT_EQ(size->text(), QStringLiteral("Size of downloaded files list: 2.0 kb"));
    prompter.answers = {true};
    click("cmdResetDlist");
    EXPECT_EQ(noRedl.nameCount(), 0u);
    EXPECT_EQ(size->text(), QStringLiteral("Size of downloaded files list: 0.0 kb"));
}

TEST_F(OptionsWindowTest, PickersEndInOneSlashAndCancelChangesNothing)
{
    struct Case {
        const char *in;
        const char *out;
    };
    const Case cases[] = {
        {"/", "/"}, {"/srv/pics", "/srv/pics/"}, {"/srv/pics/", "/srv/pics/"}, {"/srv/pics//", "/srv/pics/"}};
    for (const Case &c : cases)
        EXPECT_EQ(FolderPicker::withOneSlash(QString::fromLatin1(c.in)), QString::fromLatin1(c.out)) << c.in;

    ctx.settings.setText(u"lblDownloadPath", QStringLiteral("/old/"));
    FolderPicker *picker = win.openDownloadPicker();
    picker->setFolder(dir.path());
    EXPECT_EQ(child<QLabel>(*picker, "lblPath")->text(), dir.path() + u'/');
    child<QPushButton>(*picker, "cmdExit")->click();
    EXPECT_EQ(ctx.settings.text(u"lblDownloadPath"), QStringLiteral("/old/"));

    picker = win.openCsvPicker();
    picker->setFolder(QStringLiteral("/"));
    child<QPushButton>(*picker, "cmdOK")->click();
    EXPECT_EQ(ctx.settings.text(u"lblCSVpath"), QStringLiteral("/"));

    picker = win.openDownloadPicker();
    picker->setFolder(dir.path());
    NewFolderDialog make(*picker, prompter);
    auto *name = child<QLineEdit>(make, "Text1");
    name->setText(QStringLiteral("   "));
    EXPECT_FALSE(make.create());
    name->setText(QStringLiteral("fresh"));
    EXPECT_TRUE(make.create());
    EXPECT_TRUE(QDir(dir.path() + QStringLiteral("/fresh")).exists());
    EXPECT_EQ(picker->selection(), dir.path() + QStringLiteral("/fresh/"));
    child<QPushButton>(*picker, "cmdOK")->click();
    EXPECT_EQ(ctx.settings.text(u"lblDownloadPath"), dir.path() + QStringLiteral("/fresh/"));
}

} // namespace
