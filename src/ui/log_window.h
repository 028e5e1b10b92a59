#pragma once

#include "base/settings_key.h"

#include <QWidget>

class QCheckBox;
class QListWidget;

namespace kestrel {

class Context;

// The log window (frmLOG): the newest-first list of logged messages and the two log
// switches, which it edits in the settings store. Closing it only hides it.
class LogWindow : public QWidget {
    Q_OBJECT
public:
    explicit LogWindow(Context &ctx, QWidget *parent = nullptr);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void reloadEntries();
    void bindSwitch(QCheckBox *box, CheckKey key);

    Context &m_ctx;
    QListWidget *m_list = nullptr;
};

} // namespace kestrel
