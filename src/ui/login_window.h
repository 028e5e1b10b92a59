#pragma once

#include <QWidget>

namespace kestrel {

class SettingsStore;

// frmLogin: the news server settings. Every control edits the setting of its name, so
// the window is never destroyed while the program runs; closing it hides it.
class LoginWindow : public QWidget {
    Q_OBJECT
public:
    explicit LoginWindow(SettingsStore &settings, QWidget *parent = nullptr);

Q_SIGNALS:
    // cmdGO: open the scan connection.
    void connectClicked();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void applyAuth();

    SettingsStore &m_settings;
    QList<QWidget *> m_authControls;
};

} // namespace kestrel
