#include "ui_fixture.h"

#include "ui/about_box.h"
#include "ui/help_window.h"
#include "ui/log_window.h"
#include "ui/main_window.h"
#include "ui/message_box_prompter.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include "support/wait.h"

using namespace kestrel;
using kestrel::test::UiFixture;

namespace {

using SmallWindows = UiFixture;

TEST_F(SmallWindows, AboutBoxGreetsWhenShown)
{
    AboutBox about(ctx);
    EXPECT_TRUE(ctx.sound.lastPlayed().isEmpty());
    about.show();
    EXPECT_EQ(ctx.sound.lastPlayed(), "hi.wav");
    child<QAbstractButton>(about, "cmdClose")->click();
    EXPECT_FALSE(about.isVisible());
}

TEST_F(SmallWindows, MainWindowOpensLogAboutAndHelp)
{
    MainWindow win(ctx);
    win.show();
    const std::pair<const char *, const char *> opens[] = {
        {"cmdLog", "frmLOG"}, {"cmdAbout", "frmAbout2"}, {"cmdHelp", "frmHelp"}};
    for (const auto &[button, window] : opens) {
        child<QAbstractButton>(win, button)->click();
        auto *w = win.findChild<QWidget *>(QString::fromLatin1(window));
        ASSERT_NE(w, nullptr) << window;
        EXPECT_TRUE(w->isVisible()) << window;
        EXPECT_TRUE(w->isWindow()) << window;
        w->hide();
    }
    // F1 reaches the help from any window of the program.
    win.logWindow()->show();
    win.logWindow()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(win.logWindow()));
    QTest::keyClick(win.logWindow(), Qt::Key_F1);
    EXPECT_TRUE(win.findChild<HelpWindow *>()->isVisible());
}

TEST_F(SmallWindows, HelpPageIsShippedAndCoversTheCommandLine)
{
    HelpWindow help;
    const QString text = help.toPlainText();
    ASSERT_FALSE(text.isEmpty());
    for (const char *word : {"--home", "--headless", "--once", "--demo", "--version", "--help", "KESTREL.INI",
                             "OPSLOG.TXT", "pending.dat", "BLKLIST.TXT", "NOREDL.TXT", "favs.txt"})
        EXPECT_TRUE(text.contains(QLatin1String(word))) << word;
}

TEST(MessageBoxPrompterTest, KeysGiveTheExpectedAnswers)
{
    struct Case {
        bool defaultYes;
        Qt::Key key;
        bool answer;
    };
    const Case cases[] = {
        {true, Qt::Key_Return, true},
        {false, Qt::Key_Return, false},
        {true, Qt::Key_Escape, false},
        {false, Qt::Key_Y, true},
    };
    MessageBoxPrompter prompter;
    for (const Case &c : cases) {
        QString seen;
        QTimer::singleShot(0, [&] {
            kestrel::test::waitUntil([] { return QApplication::activeModalWidget() != nullptr; }, 2000);
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box)
                return;
            seen = box->text();
            QTest::keyClick(box, c.key);
        });
        EXPECT_EQ(prompter.question(QStringLiteral("Load the old list?"), c.defaultYes), c.answer);
        EXPECT_EQ(seen, "Load the old list?");
    }
}

} // namespace
