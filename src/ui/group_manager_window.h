#pragma once

#include <QWidget>

#include <memory>

class QButtonGroup;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QStackedWidget;
class QTreeView;

namespace kestrel {

class Context;
class FavouritesModel;
class GroupManager;
class Login;

// frmGrM, "Host Newsgroups": the server's group list, the search over it and the
// adding of found groups to the favourites. Every button is forwarded to the
// GroupManager it owns, and the widgets only show what its controls() say. Closing
// the window hides it; opening it again starts the controls afresh.
class GroupManagerWindow : public QWidget {
    Q_OBJECT
public:
    // The group-list connection (3) logs in through login while the window lives.
    GroupManagerWindow(Context &ctx, Login &login, FavouritesModel &favourites, QWidget *parent = nullptr);
    ~GroupManagerWindow() override;

    GroupManager &manager() { return *m_manager; }

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *buildListButtons();
    QWidget *buildSearchFrame();
    QWidget *buildResultsFrame();
    void showControls();
    void headerClicked(int column);

    std::unique_ptr<GroupManager> m_manager;
    QPushButton *m_getHostGroups = nullptr;
    QPushButton *m_reload = nullptr;
    QButtonGroup *m_searchType = nullptr;
    QRadioButton *m_startsWith = nullptr;
    QRadioButton *m_contains = nullptr;
    QLineEdit *m_text = nullptr;
    QPushButton *m_search = nullptr;
    QStackedWidget *m_resultsArea = nullptr;
    QWidget *m_frame1 = nullptr;
    QTreeView *m_results = nullptr;
    QPushButton *m_add = nullptr;
    QProgressBar *m_progress = nullptr;
    QLabel *m_panels[2] = {nullptr, nullptr};
    int m_sortColumn = -1;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
};

} // namespace kestrel
