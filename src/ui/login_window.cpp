#include "ui/login_window.h"

#include "ui/setting_binding.h"

#include "base/settings_store.h"

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
    auto *portNote = new QLabel(this);
    portNote->setObjectName(QStringLiteral("lblPortDefault"));
    grid->addWidget(portNote, 1, 2);
    m_portNote = portNote;

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

    grid->addWidget(settingCheck(this, "chkSSL", settings), 7, 0, 1, 3);
    QCheckBox *selfSigned = settingCheck(this, "chkSSLAllowSelfSigned", settings);
    grid->addWidget(selfSigned, 8, 1, 1, 2);
    // Unticking by hand forgets the pinned certificate, so that a server that really
    // changed its certificate can be trusted afresh by ticking the box again.
    connect(selfSigned, &QCheckBox::clicked, this, [this](bool on) {
        if (!on)
            m_settings.setText(u"SSL_Fingerprint", QString());
    });

    auto *go = new QPushButton(tr("&Connect"), this);
    go->setObjectName(QStringLiteral("cmdGO"));
    go->setDefault(true);
    auto *exit = new QPushButton(tr("E&xit"), this);
    exit->setObjectName(QStringLiteral("cmdExit"));
    grid->addWidget(go, 9, 1);
    grid->addWidget(exit, 9, 2);
    connect(go, &QPushButton::clicked, this, &LoginWindow::connectClicked);
    connect(exit, &QPushButton::clicked, this, &QWidget::hide);

    // Follows the setting rather than the box so a settings load couples too.
    connect(&settings, &SettingsStore::changed, this, [this](const QString &name) {
        if (name == QLatin1String("chkAuth"))
            applyAuth();
        else if (name == QLatin1String("chkSSL"))
            applySsl();
    });
    applyAuth();
    applySsl();
}

void LoginWindow::applySsl()
{
    const bool on = m_settings.checked(u"chkSSL");
    m_portNote->setText(on ? tr("(NNTPS default is 563)") : tr("(NNTP default is 119)"));
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
