#pragma once

#include <QObject>
#include <QPointer>

class QMenu;

namespace kestrel {

class FindWindow;
class MainWindow;
class PendingListModel;

// Drives the main window's pending list: shows the model in the window's view, keeps
// the view's selection and the model's selected states equal both ways, and turns the
// Delete key, the list buttons, the right-click menu (mnuFile), the header clicks and
// the download light into the model's commands. The find window (frmSearch) is
// created on the first click of its button.
class PendingListView : public QObject {
    Q_OBJECT
public:
    PendingListView(MainWindow &window, PendingListModel &model);
    ~PendingListView() override;

    // The right-click menu; its actions are named mnuRemove .. mnuBorg.
    QMenu *menu() const { return m_menu; }
    // Opens the menu at the cursor when at least one entry is selected.
    void openMenu(const QPoint &globalPos);
    FindWindow *findWindow();

Q_SIGNALS:
    // The download light was clicked with something queued: start a download run.
    void downloadStartRequested();

private:
    void buildMenu();
    void wireButtons();
    void showSortIndicator();
    bool eventFilter(QObject *watched, QEvent *event) override;

    MainWindow &m_window;
    PendingListModel &m_model;
    QMenu *m_menu = nullptr;
    QPointer<FindWindow> m_find;
};

} // namespace kestrel
