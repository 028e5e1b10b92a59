#include "ui/pending_list_view.h"

#include "ui/find_window.h"
#include "ui/main_window.h"
#include "ui/selection_mirror.h"

#include "scan/pending_list_model.h"

#include <QAction>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMenu>
#include <QTreeView>

namespace kestrel {

PendingListView::PendingListView(MainWindow &window, PendingListModel &model)
    : QObject(&window), m_window(window), m_model(model)
{
    // Created before the view gets the model (see SelectionMirror).
    auto *mirror = new SelectionMirror(model, PendingListModel::SelectedRole, this);
    window.setPendingModel(&model);
    QTreeView *view = window.pendingView();
    mirror->attach(view);
    connect(&model, &PendingListModel::scrollToRow, view,
            [view](int row) { view->scrollTo(view->model()->index(row, 0)); });
    connect(&model, &PendingListModel::sortingSwitchedOff, this, &PendingListView::showSortIndicator);

    view->header()->setSectionsClickable(true);
    connect(view->header(), &QHeaderView::sectionClicked, this, [this](int column) {
        m_model.headerClicked(column);
        showSortIndicator();
    });
    view->installEventFilter(this);
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(view, &QWidget::customContextMenuRequested, this,
            [this, view](const QPoint &pos) { openMenu(view->viewport()->mapToGlobal(pos)); });

    buildMenu();
    wireButtons();
    showSortIndicator();
}

PendingListView::~PendingListView() = default;

void PendingListView::buildMenu()
{
    m_menu = new QMenu(&m_window);
    m_menu->setObjectName(QStringLiteral("mnuFile"));
    const auto add = [this](const char *name, const QString &caption, auto command) {
        QAction *a = m_menu->addAction(caption);
        a->setObjectName(QString::fromLatin1(name));
        connect(a, &QAction::triggered, this, [this, command] {
            command(m_model);
            showSortIndicator();
        });
    };
    add("mnuRemove", tr("Remove"), [](PendingListModel &m) { m.removeSelected(false); });
    add("mnuRemoveNoredl", tr("Remove [add to noredl]"), [](PendingListModel &m) { m.removeSelected(true); });
    add("mnuForceque", tr("Force to Download Que"), [](PendingListModel &m) { m.forceToQueue(); });
    m_menu->addSeparator();
    add("mnuMoveTop", tr("Move To Top"), [](PendingListModel &m) { m.moveToTop(); });
    m_menu->addSeparator();
    add("mnuBemail", tr("Blacklist Email"),
        [](PendingListModel &m) { m.blacklistSelected(BlacklistField::Email); });
    add("mnuBpostinghost", tr("Blacklist Posting Host"),
        [](PendingListModel &m) { m.blacklistSelected(BlacklistField::PostingHost); });
    add("mnuBorg", tr("Blacklist Organization"),
        [](PendingListModel &m) { m.blacklistSelected(BlacklistField::Organization); });
}

void PendingListView::wireButtons()
{
    const auto on = [this](void (MainWindow::*signal)(), auto command) {
        connect(&m_window, signal, this, [this, command] {
            command(m_model);
            showSortIndicator();
        });
    };
    on(&MainWindow::moveToTopClicked, [](PendingListModel &m) { m.moveToTop(); });
    on(&MainWindow::deleteClicked, [](PendingListModel &m) { m.removeSelected(false); });
    on(&MainWindow::blacklistEmailClicked,
       [](PendingListModel &m) { m.blacklistSelected(BlacklistField::Email); });
    on(&MainWindow::blacklistOrgClicked,
       [](PendingListModel &m) { m.blacklistSelected(BlacklistField::Organization); });
    on(&MainWindow::blacklistHostClicked,
       [](PendingListModel &m) { m.blacklistSelected(BlacklistField::PostingHost); });
    connect(&m_window, &MainWindow::searchSelectClicked, this, [this] {
        FindWindow *w = findWindow();
        w->show();
        w->raise();
        w->activateWindow();
    });
    connect(&m_window, &MainWindow::downloadLightClicked, this, [this] {
        if (m_model.downloadLightClicked())
            Q_EMIT downloadStartRequested();
    });
}

FindWindow *PendingListView::findWindow()
{
    if (!m_find)
        m_find = new FindWindow(m_model, &m_window);
    return m_find;
}

void PendingListView::openMenu(const QPoint &globalPos)
{
    for (int i = 0; i < m_model.count(); ++i) {
        if (m_model.entry(i).selected) {
            m_menu->popup(globalPos);
            return;
        }
    }
}

void PendingListView::showSortIndicator()
{
    QHeaderView *header = m_window.pendingView()->header();
    header->setSortIndicatorShown(m_model.sortingOn());
    if (m_model.sortingOn())
        header->setSortIndicator(m_model.sortColumn(), m_model.sortOrder());
}

bool PendingListView::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Delete &&
        static_cast<QKeyEvent *>(event)->modifiers() == Qt::NoModifier) {
        m_model.removeSelected(false);
        return true;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace kestrel
