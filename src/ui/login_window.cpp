#include "login_window.h"

#include "setting_binding.h"

#include "core/settings_store.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace kestrel {

LoginWindow::LoginWindow(SettingsStore &settings, QWidget *parent)
    : QWidget(parent, Qt::Window), m_settings(settings)
{
    setObjectName(QStringLiteral("frmLogin"));
    setWindowTitle(tr("Login"));
    auto *grid = new QGridLayout(this);

    grid->addWidget(new QLabel(tr("News Server:"), this), 0, 0);
    grid->addWidget(settingEdit(this, "txtHost", settings), 0, 1, 1, 2);
    grid->addWidget(new QLabel(tr("Port:"), this), 1, 0);
    grid->addWidget(settingEdit(this, "txtPort", settings), 1, 1);
    grid->addWidget(new QLabel(tr("(NNTP default is 119)"), this), 1, 2);

    QCheckBox *auth = settingCheck(this, "chkAuth", settings);
    grid->addWidget(auth, 2, 0, 1, 3);
    auto *userLabel = new QLabel(tr("User Name:"), this);
    QLineEdit *user = settingEdit(this, "txtUserName", settings);
    auto *passLabel = new QLabel(tr("Password:"), this);
    QLineEdit *pass = settingEdit(this, "txtPassword", settings);
    pass->setEchoMode(QLineEdit::Password);
    QCheckBox *savePass = settingCheck(this, "chkSavePassword", settings);
    grid->addWidget(userLabel, 3, 0);
    grid->addWidget(user, 3, 1, 1, 2);
    grid->addWidget(passLabel, 4, 0);
    grid->addWidget(pass, 4, 1, 1, 2);
    grid->addWidget(savePass, 5, 1, 1, 2);
    m_authControls = {userLabel, user, passLabel, pass, savePass};

    grid->addWidget(settingCheck(this, "chkSlave", settings), 6, 0, 1, 3);

    auto *go = new QPushButton(tr("&Connect"), this);
    go->setObjectName(QStringLiteral("cmdGO"));
    go->setDefault(true);
    auto *exit = new QPushButton(tr("E&xit"), this);
    exit->setObjectName(QStringLiteral("cmdExit"));
    grid->addWidget(go, 7, 1);
    grid->addWidget(exit, 7, 2);
    connect(go, &QPushButton::clicked, this, &LoginWindow::connectClicked);
    connect(exit, &QPushButton::clicked, this, &QWidget::hide);

    // Follows the setting rather than the box so a settings load couples too.
    connect(&settings, &SettingsStore::changed, this, [this](const QString &name) {
        if (name == QLatin1String("chkAuth"))
            applyAuth();
    });
    applyAuth();
}

void LoginWindow::applyAuth()
{
    const bool on = m_settings.checked(u"chkAuth");
    for (QWidget *w : std::as_const(m_authControls))
        w->setEnabled(on);
}

void LoginWindow::closeEvent(QCloseEvent *event)
{
    event->ignore();
    hide();
}

} // namespace kestrel
