#include "ui/group_manager_window.h"

#include "ui/selection_mirror.h"

#include "base/context.h"
#include "groups/group_manager.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

#include <climits>

namespace kestrel {

namespace {

// Shows the result rows' small icons: a found group, or one added to the favourites.
class ResultIcons : public QIdentityProxyModel {
public:
    explicit ResultIcons(QObject *parent) : QIdentityProxyModel(parent)
    {
        const QStyle *style = QApplication::style();
        m_found = style->standardIcon(QStyle::SP_DirIcon);
        m_added = style->standardIcon(QStyle::SP_DialogApplyButton);
    }
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (role != Qt::DecorationRole || index.column() != GroupResultsModel::NameColumn)
            return QIdentityProxyModel::data(index, role);
        const int icon = QIdentityProxyModel::data(index, GroupResultsModel::SmallIconRole).toInt();
        return icon == 3 ? m_added : icon == 2 ? m_found : QVariant();
    }

private:
    QIcon m_found;
    QIcon m_added;
};

QPushButton *button(QWidget *parent, const char *name, const QString &text, QStyle::StandardPixmap icon)
{
    auto *b = new QPushButton(parent->style()->standardIcon(icon), text, parent);
    b->setObjectName(QString::fromLatin1(name));
    return b;
}

// A progress bar counts in int; a list beyond that range is shown in coarser steps.
int progressScale(qint64 maximum)
{
    return maximum > INT_MAX ? int(maximum / INT_MAX + 1) : 1;
}

} // namespace

GroupManagerWindow::GroupManagerWindow(Context &ctx, Login &login, FavouritesModel &favourites,
                                       QWidget *parent)
    : QWidget(parent, Qt::Window), m_manager(std::make_unique<GroupManager>(ctx, login, favourites))
{
    setObjectName(QStringLiteral("frmGrM"));
    setWindowTitle(tr("Host Newsgroups"));
    auto *column = new QVBoxLayout(this);
    column->addWidget(buildListButtons());
    column->addWidget(buildSearchFrame());

    m_resultsArea = new QStackedWidget(this);
    m_resultsArea->addWidget(buildResultsFrame());
    auto *searching = new QWidget(m_resultsArea);
    auto *searchingColumn = new QVBoxLayout(searching);
    m_progress = new QProgressBar(searching);
    m_progress->setObjectName(QStringLiteral("ProgressBar1"));
    m_progress->setTextVisible(false);
    searchingColumn->addStretch(1);
    searchingColumn->addWidget(m_progress);
    searchingColumn->addStretch(1);
    m_resultsArea->addWidget(searching);
    column->addWidget(m_resultsArea, 1);

    auto *status = new QStatusBar(this);
    status->setObjectName(QStringLiteral("StatusBar1"));
    status->setSizeGripEnabled(false);
    for (int i = 0; i < 2; ++i) {
        m_panels[i] = new QLabel(status);
        m_panels[i]->setObjectName(QStringLiteral("StatusBar1Panel%1").arg(i + 1));
        m_panels[i]->setText(m_manager->statusPanel(i));
    }
    status->addWidget(m_panels[0], 1);
    status->addPermanentWidget(m_panels[1]);
    column->addWidget(status);

    connect(m_manager.get(), &GroupManager::statusChanged, this,
            [this](int panel, const QString &text) { m_panels[panel == 0 ? 0 : 1]->setText(text); });
    connect(m_manager.get(), &GroupManager::controlsChanged, this, &GroupManagerWindow::showControls);
    showControls();
    resize(620, 460);
}

GroupManagerWindow::~GroupManagerWindow()
{
    // The views go before the model they show.
    delete m_resultsArea;
}

QWidget *GroupManagerWindow::buildListButtons()
{
    auto *row = new QWidget(this);
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    m_getHostGroups = button(row, "cmdGetHostGroups", tr("Retrieve Groups from Host"), QStyle::SP_ArrowDown);
    m_getHostGroups->setToolTip(tr("Download the server's full list of newsgroups into HOSTGRPS.TXT"));
    m_reload = button(row, "Command2", tr("reload HOSTGRPS.TXT from disk"), QStyle::SP_BrowserReload);
    layout->addWidget(m_getHostGroups);
    layout->addWidget(m_reload);
    layout->addStretch(1);
    connect(m_getHostGroups, &QPushButton::clicked, this, [this] { m_manager->cmdGetHostGroupsClicked(); });
    connect(m_reload, &QPushButton::clicked, this, [this] { m_manager->reloadHostGroupsClicked(); });
    return row;
}

QWidget *GroupManagerWindow::buildSearchFrame()
{
    auto *frame = new QGroupBox(tr("Search the group list"), this);
    auto *layout = new QHBoxLayout(frame);
    m_searchType = new QButtonGroup(this);
    m_searchType->setObjectName(QStringLiteral("optSearchType"));
    m_startsWith = new QRadioButton(tr("Starts with:"), frame);
    m_startsWith->setObjectName(QStringLiteral("optStartsWith"));
    m_contains = new QRadioButton(tr("Contains:"), frame);
    m_contains->setObjectName(QStringLiteral("optContains"));
    m_searchType->addButton(m_startsWith, 0);
    m_searchType->addButton(m_contains, 1);
    m_searchType->button(m_manager->searchType())->setChecked(true);
    m_text = new QLineEdit(frame);
    m_text->setObjectName(QStringLiteral("txtQR"));
    m_text->setPlaceholderText(tr("e.g. alt.binaries.pictures"));
    m_text->setClearButtonEnabled(true);
    m_text->installEventFilter(this);
    m_search = button(frame, "cmdQR", QString(), QStyle::SP_FileDialogContentsView);
    layout->addWidget(m_startsWith);
    layout->addWidget(m_contains);
    layout->addWidget(m_text, 1);
    layout->addWidget(m_search);

    connect(m_searchType, &QButtonGroup::idToggled, this, [this](int id, bool on) {
        if (on)
            m_manager->setSearchType(id);
    });
    connect(m_search, &QPushButton::clicked, this, [this] { m_manager->cmdQRClicked(m_text->text()); });
    connect(m_text, &QLineEdit::returnPressed, m_search, &QPushButton::click);
    return frame;
}

QWidget *GroupManagerWindow::buildResultsFrame()
{
    auto *frame = new QGroupBox(tr("Matching groups"));
    frame->setObjectName(QStringLiteral("Frame1"));
    m_frame1 = frame;
    auto *layout = new QVBoxLayout(frame);
    GroupResultsModel &results = m_manager->results();
    // Created before the view gets the model (see SelectionMirror).
    auto *mirror = new SelectionMirror(results, GroupResultsModel::SelectedRole, frame);
    auto *icons = new ResultIcons(frame);
    icons->setSourceModel(&results);
    m_results = new QTreeView(frame);
    m_results->setObjectName(QStringLiteral("ListView1"));
    m_results->setRootIsDecorated(false);
    m_results->setUniformRowHeights(true);
    m_results->setAlternatingRowColors(true);
    m_results->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_results->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_results->setModel(icons);
    QHeaderView *header = m_results->header();
    header->setSectionsClickable(true);
    header->setStretchLastSection(false);
    header->setSectionResizeMode(GroupResultsModel::NameColumn, QHeaderView::Stretch);
    for (int c = GroupResultsModel::TotalColumn; c < GroupResultsModel::ColumnCount; ++c)
        header->setSectionResizeMode(c, QHeaderView::ResizeToContents);
    connect(header, &QHeaderView::sectionClicked, this, &GroupManagerWindow::headerClicked);
    mirror->attach(m_results);
    layout->addWidget(m_results, 1);

    auto *row = new QHBoxLayout;
    row->addStretch(1);
    m_add = button(frame, "cmdAdd", tr("&Add Selections"), QStyle::SP_DialogApplyButton);
    m_add->setToolTip(tr("Add the selected groups to the favourites"));
    row->addWidget(m_add);
    layout->addLayout(row);
    connect(m_add, &QPushButton::clicked, this, [this] { m_manager->cmdAddClicked(); });
    return frame;
}

void GroupManagerWindow::showControls()
{
    const GroupManagerControls &c = m_manager->controls();
    m_getHostGroups->setEnabled(c.cmdGetHostGroups);
    m_reload->setEnabled(c.reloadHostGroups);
    m_search->setEnabled(c.cmdQR);
    m_search->setText(c.cmdQRCaption);
    m_search->setIcon(style()->standardIcon(c.cmdQRCaption == QStringLiteral("Search")
                                                ? QStyle::SP_FileDialogContentsView
                                                : QStyle::SP_BrowserStop));
    m_startsWith->setEnabled(c.optStartsWith);
    m_contains->setEnabled(c.optContains);
    m_text->setEnabled(c.txtQR);
    m_add->setEnabled(c.cmdAdd);
    m_resultsArea->setCurrentIndex(c.frame1Visible ? 0 : 1);
    const int scale = progressScale(c.progressMaximum);
    m_progress->setMaximum(int(c.progressMaximum / scale));
    m_progress->setValue(int(c.progressValue / scale));
    m_progress->setVisible(c.progressVisible);
}

void GroupManagerWindow::headerClicked(int column)
{
    m_sortOrder = column == m_sortColumn && m_sortOrder == Qt::AscendingOrder ? Qt::DescendingOrder
                                                                              : Qt::AscendingOrder;
    m_sortColumn = column;
    m_manager->resultHeaderClicked(column);
    m_results->header()->setSortIndicatorShown(true);
    m_results->header()->setSortIndicator(column, m_sortOrder);
}

void GroupManagerWindow::showEvent(QShowEvent *event)
{
    if (!event->spontaneous())
        m_manager->windowLoaded();
    QWidget::showEvent(event);
}

void GroupManagerWindow::closeEvent(QCloseEvent *event)
{
    event->ignore();
    hide();
}

bool GroupManagerWindow::eventFilter(QObject *watched, QEvent *event)
{
    // The search text is selected whole on entry, so typing replaces it; after the
    // click that gave the focus, which would otherwise place the cursor.
    if (watched == m_text && event->type() == QEvent::FocusIn)
        QTimer::singleShot(0, m_text, [text = m_text] { text->selectAll(); });
    return QWidget::eventFilter(watched, event);
}

} // namespace kestrel
