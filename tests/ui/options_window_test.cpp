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

#include <QCheckBox>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QListWidget>
#include <QSlider>
#include <QTabWidget>
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
};

TEST_F(OptionsWindowTest, CentredOverTheMainWindowAndCloseOnlyHides)
{
    QWidget main;
    main.setGeometry(100, 80, 900, 700);
    main.show();
    OptionsWindow over(ctx, {favs, noRedl, dupes, blacklist}, &main);
    EXPECT_NEAR(over.frameGeometry().center().x(), main.frameGeometry().center().x(), 2);
    EXPECT_NEAR(over.frameGeometry().center().y(), main.frameGeometry().center().y(), 2);
    over.show();
    over.close();
    EXPECT_FALSE(over.isVisible());
    over.show();
    click(over, "cmdClose");
    EXPECT_FALSE(over.isVisible());
    ctx.settings.setChecked(u"chkSFX", false);
    EXPECT_FALSE(child<QCheckBox>(over, "chkSFX")->isChecked()) << "still bound after closing";
}

// Every setting has a control of its name in one of the three windows, bound both ways.
TEST_F(OptionsWindowTest, EverySettingRoundTripsThroughItsControl)
{
    LoginWindow login(ctx.settings);
    LogWindow log(ctx);
    ctx.settings.setChecked(u"chkOverall", true); // else Spam Scan is disabled and forced off
    ctx.settings.setChecked(u"chkAuth", true);    // else Save Password is disabled
    for (const SettingDef &d : settingsTable()) {
        const QString name = QString::fromLatin1(d.name);
        const int index = SettingsStore::requireIndex(name);
        if (name == u"SSL_Fingerprint") // kept by the connection, not edited by the user
            continue;
        SCOPED_TRACE(d.name);
        QWidget *control = nullptr;
        for (QWidget *w : QList<QWidget *>{&win, &login, &log})
            control = control ? control : w->findChild<QWidget *>(name);
        ASSERT_NE(control, nullptr);
        if (d.kind == SettingKind::Check) {
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
            for (const int stored : {1, 0}) {
                ctx.settings.setNumberAt(index, stored);
                EXPECT_EQ(box->checkState(), stored ? Qt::Checked : Qt::Unchecked);
            }
            ctx.settings.setNumberAt(index, original);
        } else if (d.kind == SettingKind::Slider) {
            auto *slider = qobject_cast<QSlider *>(control);
            ASSERT_NE(slider, nullptr);
            EXPECT_EQ(slider->minimum(), d.min);
            EXPECT_EQ(slider->maximum(), d.max);
            slider->setValue(d.min + 1);
            EXPECT_EQ(ctx.settings.numberAt(index), d.min + 1);
            ctx.settings.setNumberAt(index, d.max);
            EXPECT_EQ(slider->value(), d.max);
        } else {
            ctx.settings.setTextAt(index, QStringLiteral("/srv/x/"));
            if (auto *edit = qobject_cast<QLineEdit *>(control)) {
                EXPECT_EQ(edit->text(), QStringLiteral("/srv/x/"));
                edit->setText(QStringLiteral("typed"));
                EXPECT_EQ(ctx.settings.textAt(index), QStringLiteral("typed"));
            } else {
                ASSERT_NE(qobject_cast<QLabel *>(control), nullptr);
                EXPECT_EQ(qobject_cast<QLabel *>(control)->text(), QStringLiteral("/srv/x/"));
            }
        }
    }
}

TEST_F(OptionsWindowTest, SliderCaptionsFollowTheirSliders)
{
    const struct {
        const char *slider, *captioned;
        int value;
        const char *caption;
    } cases[] = {
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
    for (const auto &c : cases) {
        child<QSlider>(win, c.slider)->setValue(c.value);
        QWidget *w = child<QWidget>(win, c.captioned);
        const auto *label = qobject_cast<QLabel *>(w);
        EXPECT_EQ(label ? label->text() : qobject_cast<QAbstractButton *>(w)->text(),
                  QString::fromLatin1(c.caption));
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
    spam->click();
    ASSERT_EQ(prompter.said.size(), 1u);
    EXPECT_TRUE(prompter.said.front().startsWith(QStringLiteral("Caution: This is a special mode")));
    overall->click();
    EXPECT_FALSE(spam->isEnabled());
    EXPECT_FALSE(ctx.settings.checked(u"chkSpamScan"));

    auto *shortNames = child<QCheckBox>(win, "chkShortFolderNames");
    shortNames->setChecked(true);
    child<QCheckBox>(win, "chkMakeSubDirs")->setChecked(false);
    EXPECT_FALSE(shortNames->isEnabled());
    EXPECT_TRUE(ctx.settings.checked(u"chkShortFolderNames")) << "value stays";
    child<QCheckBox>(win, "chkMakeSubDirs")->setChecked(true);
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
    auto *tabs = child<QTabWidget>(win, "TabStrip1");
    tabs->setCurrentIndex(4);
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
        ASSERT_EQ(prompter.said.size(), c.warns ? 1u : 0u);
        if (c.warns) {
            EXPECT_TRUE(
                prompter.said.front().startsWith(QStringLiteral("Caution: You have disabled the automatic")));
        }
        elsewhere.hide();
    }
    win.showNewsgroupsTab();
    EXPECT_EQ(tabs->currentIndex(), 0);
}

// Where the moves stop and how sorting orders are the favourites test's; here the
// buttons and headers reach them and act on the view's selection.
TEST_F(OptionsWindowTest, GroupButtonsActOnTheViewSelectionAndWantOne)
{
    for (const char *name : {"cmdToggleRead", "cmdReset", "cmdDelete"}) {
        prompter.said.clear();
        click(win, name);
        ASSERT_EQ(prompter.said.size(), 1u) << name;
        EXPECT_EQ(prompter.said.front(), QStringLiteral("Error, no group selected.")) << name;
    }
    using Names = QList<QByteArray>;
    win.groupHeaderClicked(0);
    win.groupHeaderClicked(0);
    EXPECT_EQ(groupNames(), (Names{"alt.c", "alt.b", "alt.a"}));
    win.groupHeaderClicked(1);
    win.groupHeaderClicked(0);
    EXPECT_EQ(groupNames(), (Names{"alt.a", "alt.b", "alt.c"}));

    favs.setSelected(1, true);
    click(win, "cmdUP");
    EXPECT_EQ(groupNames(), (Names{"alt.b", "alt.a", "alt.c"}));
    click(win, "cmdDN");
    EXPECT_EQ(groupNames(), (Names{"alt.a", "alt.b", "alt.c"}));
    auto *view = child<QTreeView>(win, "ListView1");
    EXPECT_TRUE(view->selectionModel()->isRowSelected(1, QModelIndex()));

    favs.setNumber(0, FavLastRead, 120);
    favs.setNumber(2, FavLastRead, 300);
    view->selectionModel()->clearSelection();
    for (const int row : {0, 2})
        view->selectionModel()->select(view->model()->index(row, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
    click(win, "cmdToggleRead");
    EXPECT_TRUE(favs.row(0).ghosted && favs.row(2).ghosted && !favs.row(1).ghosted);
    click(win, "cmdToggleRead");
    EXPECT_FALSE(favs.row(0).ghosted || favs.row(2).ghosted);
    click(win, "cmdReset");
    EXPECT_FALSE(favs.number(0, FavLastRead) || favs.number(2, FavLastRead));
    click(win, "cmdDelete");
    EXPECT_EQ(groupNames(), Names{"alt.b"});
}

// The reset question is the list's own test; here the button reaches it.
TEST_F(OptionsWindowTest, DuplicateFoldersBlacklistAndNoRedlLists)
{
    auto *add = child<QLineEdit>(win, "txtDupeAdd");
    const QString folder = dir.path() + QStringLiteral("/pics");
    QDir().mkpath(folder + QStringLiteral("/sub"));
    add->setText(QStringLiteral("   "));
    click(win, "cmdDupeAdd");
    EXPECT_TRUE(dupes.entries().isEmpty());
    ctx.settings.setChecked(u"chkRecurse", true);
    add->setText(folder);
    click(win, "cmdDupeAdd");
    EXPECT_EQ(dupes.displayEntries(), (QStringList{folder + u'/', folder + QStringLiteral("/sub/")}));
    auto *list = child<QListWidget>(win, "lstDupeDirs");
    ASSERT_EQ(list->count(), 2);
    list->item(1)->setSelected(true);
    click(win, "Command1");
    EXPECT_EQ(dupes.displayEntries(), QStringList{folder + u'/'});

    auto *bl = child<QLineEdit>(win, "txtAddBLemail");
    bl->setText(QStringLiteral("spammer@x"));
    click(win, "cmdAddBLemail");
    EXPECT_EQ(blacklist.entries(), QList<QByteArray>{"spammer@x"});
    EXPECT_TRUE(bl->text().isEmpty());
    click(win, "cmdDelEmail");
    EXPECT_EQ(blacklist.entries().size(), 1) << "nothing selected";
    child<QListWidget>(win, "lstBLemail")->setCurrentRow(0);
    click(win, "cmdDelEmail");
    EXPECT_TRUE(blacklist.entries().isEmpty());

    noRedl.addToNoRedl(QByteArray(2000, 'X'));
    EXPECT_EQ(labelText(win, "lblDlistSize"), QStringLiteral("Size of downloaded files list: 2.0 kb"));
    prompter.answers = {true};
    click(win, "cmdResetDlist");
    EXPECT_EQ(noRedl.nameCount(), 0u);
    EXPECT_EQ(labelText(win, "lblDlistSize"), QStringLiteral("Size of downloaded files list: 0.0 kb"));
}

TEST_F(OptionsWindowTest, PickersEndInOneSlashAndCancelChangesNothing)
{
    for (const auto &[in, out] :
         {std::pair{"/", "/"}, {"/srv/pics", "/srv/pics/"}, {"/srv/pics//", "/srv/pics/"}})
        EXPECT_EQ(FolderPicker::withOneSlash(QString::fromLatin1(in)), QString::fromLatin1(out)) << in;

    ctx.settings.setText(u"lblDownloadPath", QStringLiteral("/old/"));
    FolderPicker *picker = win.openDownloadPicker();
    picker->setFolder(dir.path());
    EXPECT_EQ(labelText(*picker, "lblPath"), dir.path() + u'/');
    click(*picker, "cmdExit");
    EXPECT_EQ(ctx.settings.text(u"lblDownloadPath"), QStringLiteral("/old/"));

    picker = win.openCsvPicker();
    picker->setFolder(QStringLiteral("/"));
    click(*picker, "cmdOK");
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
    click(*picker, "cmdOK");
    EXPECT_EQ(ctx.settings.text(u"lblDownloadPath"), dir.path() + QStringLiteral("/fresh/"));
}

} // namespace
