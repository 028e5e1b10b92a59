#pragma once

#include <QWidget>

class QLabel;

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
    // chkSSL: the note beside the port box names the default of the protocol.
    void applySsl();

    SettingsStore &m_settings;
    QList<QWidget *> m_authControls;
    QLabel *m_portNote = nullptr;
};

} // namespace kestrel
