#include "ui_fixture.h"

#include "ui/login_window.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "support/wait.h"

using namespace kestrel;
using kestrel::test::UiFixture;

namespace {

struct LoginWindowTest : UiFixture {
    LoginWindow win{ctx.settings};
};

TEST_F(LoginWindowTest, AuthenticationEnablesItsFiveControlsWhetherClickedOrLoaded)
{
    const QList<QWidget *> five{child<QLineEdit>(win, "txtUserName"), child<QLineEdit>(win, "txtPassword"),
                                child<QCheckBox>(win, "chkSavePassword")};
    int labels = 0;
    for (QLabel *l : win.findChildren<QLabel *>())
        if (l->text() == QLatin1String("User Name:") || l->text() == QLatin1String("Password:"))
            ++labels;
    ASSERT_EQ(labels, 2);
    const auto allEnabled = [&](bool on) {
        for (QWidget *w : five)
            if (w->isEnabled() != on)
                return false;
        for (QLabel *l : win.findChildren<QLabel *>())
            if ((l->text() == QLatin1String("User Name:") || l->text() == QLatin1String("Password:")) &&
                l->isEnabled() != on)
                return false;
        return true;
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
    // Hidden, not gone: the settings still reach the controls.
    ctx.settings.setText(u"txtHost", QStringLiteral("news.example"));
    EXPECT_EQ(child<QLineEdit>(win, "txtHost")->text(), QStringLiteral("news.example"));
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
