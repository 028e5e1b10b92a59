#include "ui_fixture.h"

#include "ui/login_window.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>

#include "support/wait.h"

using namespace kestrel;
using kestrel::test::UiFixture;

namespace {

struct LoginWindowTest : UiFixture {
    LoginWindow win{ctx.settings};
};

TEST_F(LoginWindowTest, AuthenticationEnablesItsFiveControlsWhetherClickedOrLoaded)
{
    QList<QWidget *> five{child<QLineEdit>(win, "txtUserName"), child<QLineEdit>(win, "txtPassword"),
                          child<QCheckBox>(win, "chkSavePassword")};
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
    LoginWindow loadedFirst(ctx.settings);
    EXPECT_TRUE(loadedFirst.findChild<QLineEdit *>(QStringLiteral("txtUserName"))->isEnabled());
}

// The two-way binding of every control to its setting is checked, for all windows, by
// the options window test.
TEST_F(LoginWindowTest, PasswordIsHiddenAndThePortNoteFollowsTls)
{
    EXPECT_EQ(child<QLineEdit>(win, "txtPassword")->echoMode(), QLineEdit::Password);
    auto *ssl = child<QCheckBox>(win, "chkSSL");
    auto *note = child<QLabel>(win, "lblPortDefault");
    EXPECT_EQ(note->text(), QStringLiteral("(NNTP default is 119)"));
    ssl->click();
    EXPECT_EQ(note->text(), QStringLiteral("(NNTPS default is 563)"));
    ctx.settings.setChecked(u"chkSSL", false); // as a settings load would
    EXPECT_EQ(note->text(), QStringLiteral("(NNTP default is 119)"));
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

TEST_F(LoginWindowTest, ButtonsAndCloseBox)
{
    QSignalSpy connects(&win, &LoginWindow::connectClicked);
    win.show();
    child<QPushButton>(win, "cmdGO")->click();
    EXPECT_EQ(connects.count(), 1);
    child<QPushButton>(win, "cmdExit")->click();
    EXPECT_FALSE(win.isVisible());
    win.show();
    win.close();
    EXPECT_FALSE(win.isVisible());
}

TEST_F(LoginWindowTest, FocusSelectsTheWholeText)
{
    win.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&win));
    auto *host = child<QLineEdit>(win, "txtHost");
    host->setText(QStringLiteral("news.example"));
    host->deselect();
    child<QLineEdit>(win, "txtPort")->setFocus();
    host->setFocus();
    EXPECT_TRUE(kestrel::test::waitUntil([&] { return host->selectedText() == host->text(); }, 2000));
}

} // namespace
