// The small windows: log, login, about, help, the add-group dialog and the message boxes.
#include "ui_fixture.h"

#include "ui/add_group_dialog.h"
#include "ui/help_window.h"
#include "ui/log_window.h"
#include "ui/login_window.h"
#include "ui/main_window.h"
#include "ui/message_box_prompter.h"

#include "scan/favourites.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <algorithm>

#include "support/wait.h"

using namespace kestrel;
using kestrel::test::UiFixture;

namespace {

using SmallWindows = UiFixture;

// The about box greets when it is shown, not when it is made.
TEST_F(SmallWindows, MainWindowOpensLogAboutAndHelp)
{
    MainWindow win(ctx);
    win.show();
    EXPECT_EQ(ctx.sound.lastPlayed(), "startup.wav");
    const std::pair<const char *, const char *> opens[] = {
        {"cmdLog", "frmLOG"}, {"cmdAbout", "frmAbout2"}, {"cmdHelp", "frmHelp"}};
    for (const auto &[button, window] : opens) {
        click(win, button);
        auto *w = child<QWidget>(win, window);
        ASSERT_NE(w, nullptr);
        EXPECT_TRUE(w->isVisible() && w->isWindow()) << window;
    }
    EXPECT_EQ(ctx.sound.lastPlayed(), "hi.wav");
    click(*child<QWidget>(win, "frmAbout2"), "cmdClose");
    EXPECT_FALSE(child<QWidget>(win, "frmAbout2")->isVisible());
    child<QWidget>(win, "frmHelp")->hide();
    // F1 reaches the help from any window of the program.
    win.logWindow()->show();
    win.logWindow()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(win.logWindow()));
    QTest::keyClick(win.logWindow(), Qt::Key_F1);
    EXPECT_TRUE(win.findChild<HelpWindow *>()->isVisible());
}

TEST_F(SmallWindows, HelpPageIsShippedAndCoversTheCommandLine)
{
    const QString text = HelpWindow().toPlainText();
    for (const char *word : {"--home", "--headless", "--once", "--demo", "--version", "--help", "KESTREL.INI",
                             "OPSLOG.TXT", "pending.dat", "BLKLIST.TXT", "NOREDL.TXT", "favs.txt"})
        EXPECT_TRUE(text.contains(QLatin1String(word))) << word;
}

TEST(MessageBoxPrompterTest, KeysGiveTheExpectedAnswers)
{
    const std::tuple<bool, Qt::Key, bool> cases[] = {{true, Qt::Key_Return, true},
                                                     {false, Qt::Key_Return, false},
                                                     {true, Qt::Key_Escape, false},
                                                     {false, Qt::Key_Y, true}};
    MessageBoxPrompter prompter;
    for (const auto &[defaultYes, key, answer] : cases) {
        QString seen;
        QTimer::singleShot(0, [&, key = key] {
            kestrel::test::waitUntil([] { return QApplication::activeModalWidget() != nullptr; }, 2000);
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                seen = box->text();
                QTest::keyClick(box, key);
            }
        });
        EXPECT_EQ(prompter.question(QStringLiteral("Load the old list?"), defaultYes), answer);
        EXPECT_EQ(seen, "Load the old list?");
    }
}

struct LogWindowTest : UiFixture {
    LogWindow win{ctx};
    QListWidget *list = nullptr;

    LogWindowTest()
    {
        list = child<QListWidget>(win, "List1");
        ctx.settings.setChecked(u"chkEnableLogging", true);
    }

    QStringList rows() const
    {
        QStringList r;
        for (int i = 0; i < list->count(); ++i)
            r << list->item(i)->text();
        return r;
    }
};

TEST_F(LogWindowTest, ListShowsTheLogNewestFirstWithTheNewestSelected)
{
    QStringList expected;
    for (const QString &m : {QStringLiteral("one"), QStringLiteral("two"), QStringLiteral("three")}) {
        // The user may have selected an older line meanwhile.
        if (list->count() > 0)
            list->setCurrentRow(list->count() - 1);
        clock.advanceMsecs(1000);
        ctx.writeLog(m, true);
        expected.prepend(clock.now().toString(QStringLiteral("HH:mm:ss")) + QStringLiteral("  ") + m);
        EXPECT_EQ(rows(), expected);
        EXPECT_EQ(list->currentRow(), 0);
    }
    ctx.writeLog(QStringLiteral("status only"), false);
    EXPECT_EQ(rows(), expected);
}

TEST_F(LogWindowTest, ClearEmptiesTheListAndCloseOnlyHides)
{
    ctx.writeLog(QStringLiteral("kept until cleared"), true);
    for (const bool byButton : {false, true}) {
        win.show();
        byButton ? click(win, "cmdClose") : void(win.close()); // the button or the close box
        EXPECT_FALSE(win.isVisible());
        EXPECT_EQ(list->count(), 1);
    }
    click(win, "cmdClear");
    EXPECT_EQ(list->count(), 0);
    EXPECT_TRUE(ctx.log.entries().isEmpty());
    ctx.writeLog(QStringLiteral("after clearing"), true);
    EXPECT_EQ(list->count(), 1);
}

TEST_F(LogWindowTest, DoubleClickShowsTheWholeEntry)
{
    const QString longLine =
        QStringLiteral("Decode Successful: ") + QString(300, QLatin1Char('x')) + QStringLiteral(".jpg");
    ctx.writeLog(longLine, true);
    ctx.writeLog(QStringLiteral("newer"), true);
    win.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&win));
    list->doItemsLayout();
    QListWidgetItem *older = list->item(1);
    const QPoint at = list->visualItemRect(older).center();
    // A double click is a press and release followed by the double-click event.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    ASSERT_EQ(prompter.said.size(), 1u);
    EXPECT_EQ(prompter.said.front(), older->text());
    EXPECT_TRUE(prompter.said.front().endsWith(longLine));
}

// The switches' two-way binding is checked with every other setting by the options
// window test; a window made after the settings were loaded starts from them.
TEST_F(LogWindowTest, NewWindowShowsTheLoadedSwitches)
{
    for (bool on : {true, false}) {
        ctx.settings.setChecked(u"chkLogFile", on);
        EXPECT_EQ(child<QCheckBox>(LogWindow(ctx), "chkLogFile")->isChecked(), on);
    }
}

struct LoginWindowTest : UiFixture {
    LoginWindow win{ctx.settings};
};

TEST_F(LoginWindowTest, AuthenticationEnablesItsFiveControlsWhetherClickedOrLoaded)
{
    QList<QWidget *> five{child<QWidget>(win, "txtUserName"), child<QWidget>(win, "txtPassword"),
                          child<QWidget>(win, "chkSavePassword")};
    for (QLabel *l : win.findChildren<QLabel *>())
        if (l->text() == QLatin1String("User Name:") || l->text() == QLatin1String("Password:"))
            five << l;
    ASSERT_EQ(five.size(), 5);
    const auto allEnabled = [&](bool on) {
        return std::all_of(five.begin(), five.end(), [on](QWidget *w) { return w->isEnabled() == on; });
    };
    EXPECT_TRUE(allEnabled(false));
    child<QCheckBox>(win, "chkAuth")->click();
    EXPECT_TRUE(allEnabled(true));
    ctx.settings.setChecked(u"chkAuth", false); // as a settings load would
    EXPECT_TRUE(allEnabled(false));
    ctx.settings.setChecked(u"chkAuth", true);
    EXPECT_TRUE(child<QLineEdit>(LoginWindow(ctx.settings), "txtUserName")->isEnabled());
}

// The two-way binding of every control to its setting is checked, for all windows, by
// the options window test.
TEST_F(LoginWindowTest, PasswordIsHiddenAndThePortNoteFollowsTls)
{
    EXPECT_EQ(child<QLineEdit>(win, "txtPassword")->echoMode(), QLineEdit::Password);
    EXPECT_EQ(labelText(win, "lblPortDefault"), QStringLiteral("(NNTP default is 119)"));
    click(win, "chkSSL");
    EXPECT_EQ(labelText(win, "lblPortDefault"), QStringLiteral("(NNTPS default is 563)"));
    ctx.settings.setChecked(u"chkSSL", false); // as a settings load would
    EXPECT_EQ(labelText(win, "lblPortDefault"), QStringLiteral("(NNTP default is 119)"));
}

TEST_F(LoginWindowTest, UntickingTheSelfSignedBoxByHandForgetsThePin)
{
    const QString pin = QStringLiteral("ab12");
    auto *selfSigned = child<QCheckBox>(win, "chkSSLAllowSelfSigned");
    ctx.settings.setText(u"SSL_Fingerprint", pin);
    selfSigned->click(); // on: nothing to forget
    EXPECT_EQ(ctx.settings.text(u"SSL_Fingerprint"), pin);
    // A settings load that clears the box keeps the pin: only the user's click forgets it.
    ctx.settings.setChecked(u"chkSSLAllowSelfSigned", false);
    EXPECT_EQ(ctx.settings.text(u"SSL_Fingerprint"), pin);
    ctx.settings.setChecked(u"chkSSLAllowSelfSigned", true);
    selfSigned->click(); // off
    EXPECT_FALSE(selfSigned->isChecked());
    EXPECT_TRUE(ctx.settings.text(u"SSL_Fingerprint").isEmpty());
}

TEST_F(LoginWindowTest, ButtonsCloseBoxAndFocusSelectingTheWholeText)
{
    QSignalSpy connects(&win, &LoginWindow::connectClicked);
    win.show();
    click(win, "cmdGO");
    EXPECT_EQ(connects.count(), 1);
    click(win, "cmdExit");
    EXPECT_FALSE(win.isVisible());
    win.show();
    win.close();
    EXPECT_FALSE(win.isVisible());

    win.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&win));
    auto *host = child<QLineEdit>(win, "txtHost");
    host->setText(QStringLiteral("news.example"));
    host->deselect();
    child<QLineEdit>(win, "txtPort")->setFocus();
    host->setFocus();
    EXPECT_TRUE(kestrel::test::waitUntil([&] { return host->selectedText() == host->text(); }, 2000));
}

struct AddGroupDialogTest : UiFixture {
    FavouritesModel favs{ctx};
};

TEST_F(AddGroupDialogTest, TypedNameIsAddedSavedAndClosesOnlyWhenNotBlank)
{
    AddGroupDialog dialog(ctx, favs);
    dialog.show();
    auto *name = child<QLineEdit>(dialog, "Text1");
    for (const char *blank : {"", "   "}) {
        name->setText(QString::fromLatin1(blank));
        click(dialog, "cmdOK");
        EXPECT_TRUE(dialog.isVisible());
    }
    EXPECT_EQ(favs.rowCount(), 0);
    name->setText(QStringLiteral("alt.binaries.test"));
    click(dialog, "cmdOK");
    EXPECT_FALSE(dialog.isVisible());
    ASSERT_EQ(favs.rowCount(), 1);
    EXPECT_EQ(favs.row(0).name, QByteArray("alt.binaries.test"));
    FavouritesModel reloaded(ctx);
    reloaded.loadFavs();
    EXPECT_EQ(reloaded.rowCount(), 1) << "saved at once";
}

TEST_F(AddGroupDialogTest, GroupFileButtonOnlyWhenTheFileExistsInAnyCase)
{
    AddGroupDialog without(ctx, favs);
    EXPECT_TRUE(child<QPushButton>(without, "cmdAdd")->isHidden());
    dir.write(QStringLiteral("NewsGrps.TXT"), "alt.test\n");
    AddGroupDialog with(ctx, favs);
    EXPECT_FALSE(child<QPushButton>(with, "cmdAdd")->isHidden());
    QSignalSpy picker(&with, &AddGroupDialog::groupFilePickerWanted);
    QSignalSpy manager(&with, &AddGroupDialog::groupManagerWanted);
    click(with, "cmdAdd");
    click(with, "cmdGrM");
    EXPECT_EQ(picker.count(), 1);
    EXPECT_EQ(manager.count(), 1);
}

} // namespace
