// The list pages of the options window: favourite groups, duplicate-check folders and
// the blacklist.
#include "ui/options_window.h"

#include "ui/selection_mirror.h"
#include "ui/setting_binding.h"

#include "base/context.h"
#include "scan/blacklist.h"
#include "scan/dupe_paths.h"
#include "scan/favourites.h"
#include "scan/noredl_list.h"

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPalette>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace kestrel {

namespace {

// Greys the groups that are switched off.
class GroupListDecorator : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (role == Qt::ForegroundRole &&
            QIdentityProxyModel::data(index, FavouritesModel::GhostedRole).toBool())
            return QApplication::palette().brush(QPalette::Disabled, QPalette::Text);
        return QIdentityProxyModel::data(index, role);
    }
};

QPushButton *button(QWidget *parent, const char *name, const QString &text)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(QString::fromLatin1(name));
    return b;
}

QString noGroupSelected()
{
    return QStringLiteral("Error, no group selected.");
}

} // namespace

QWidget *OptionsWindow::buildNewsgroupsTab()
{
    auto *page = new QWidget;
    auto *row = new QHBoxLayout(page);
    FavouritesModel &favs = m_lists.favourites;
    auto *mirror = new SelectionMirror(favs, FavouritesModel::SelectedRole, this);
    auto *decorator = new GroupListDecorator(this);
    decorator->setSourceModel(&favs);
    m_groups = new QTreeView(page);
    m_groups->setObjectName(QStringLiteral("ListView1"));
    m_groups->setRootIsDecorated(false);
    m_groups->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_groups->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_groups->setModel(decorator);
    m_groups->header()->setSectionsClickable(true);
    // The names are what the user reads; the numbers take the room they need.
    m_groups->header()->setStretchLastSection(false);
    m_groups->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    for (int c = 1; c < favs.columnCount(); ++c)
        m_groups->header()->setSectionResizeMode(c, QHeaderView::ResizeToContents);
    connect(m_groups->header(), &QHeaderView::sectionClicked, this, &OptionsWindow::groupHeaderClicked);
    mirror->attach(m_groups);
    row->addWidget(m_groups, 1);

    auto *buttons = new QVBoxLayout;
    const auto add = [&](const char *name, const QString &text, auto slot) {
        QPushButton *b = button(page, name, text);
        connect(b, &QPushButton::clicked, this, slot);
        buttons->addWidget(b);
    };
    add("cmdToggleRead", tr("&Toggle on/off"), [this] { toggleSelectedGroups(); });
    add("cmdUP", tr("Move &Up"), [this] { moveSelectedGroup(-1); });
    add("cmdDN", tr("Move D&own"), [this] { moveSelectedGroup(+1); });
    add("cmdReset", tr("&Reset"), [this] { resetSelectedGroups(); });
    add("cmdDelete", tr("&Delete"), [this] { deleteSelectedGroups(); });
    add("cmdAddOne", tr("&Add"), [this] { Q_EMIT addGroupClicked(); });
    buttons->addStretch(1);
    row->addLayout(buttons);
    return page;
}

bool OptionsWindow::anyGroupSelected()
{
    for (const FavouriteRow &r : m_lists.favourites.rows())
        if (r.selected)
            return true;
    m_ctx.prompter.message(noGroupSelected());
    return false;
}

void OptionsWindow::toggleSelectedGroups()
{
    FavouritesModel &favs = m_lists.favourites;
    if (!anyGroupSelected())
        return;
    for (int i = favs.rowCount() - 1; i >= 0; --i)
        if (favs.row(i).selected)
            favs.setGhosted(i, !favs.row(i).ghosted);
}

void OptionsWindow::resetSelectedGroups()
{
    FavouritesModel &favs = m_lists.favourites;
    if (!anyGroupSelected())
        return;
    for (int i = favs.rowCount() - 1; i >= 0; --i)
        if (favs.row(i).selected)
            favs.clearNumber(i, FavLastRead);
}

void OptionsWindow::deleteSelectedGroups()
{
    FavouritesModel &favs = m_lists.favourites;
    if (!anyGroupSelected())
        return;
    for (int i = favs.rowCount() - 1; i >= 0; --i)
        if (favs.row(i).selected)
            favs.removeRows(i, 1);
}

void OptionsWindow::moveSelectedGroup(int delta)
{
    // One group moves: the selected one found first walking up from the end.
    FavouritesModel &favs = m_lists.favourites;
    for (int i = favs.rowCount() - 1; i >= 0; --i) {
        if (favs.row(i).selected) {
            if (favs.moveRowBy(i, delta))
                m_groups->scrollTo(m_groups->model()->index(i + delta, 0));
            return;
        }
    }
}

void OptionsWindow::groupHeaderClicked(int column)
{
    if (column == m_groupSortColumn)
        m_groupSortOrder = m_groupSortOrder == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    else
        m_groupSortOrder = Qt::AscendingOrder;
    m_groupSortColumn = column;
    m_lists.favourites.sort(column, m_groupSortOrder);
    m_groups->header()->setSortIndicatorShown(true);
    m_groups->header()->setSortIndicator(column, m_groupSortOrder);
}

QWidget *OptionsWindow::buildDuplicatesTab()
{
    SettingsStore &s = m_ctx.settings;
    auto *page = new QWidget;
    auto *column = new QVBoxLayout(page);
    column->addWidget(settingCheck(page, "chkUseNameFromUUE", s));
    column->addWidget(settingCheck(page, "chkDeleteUUfoundfile", s));
    column->addWidget(new QLabel(tr("Folders to search for Duplicates:"), page));
    m_dupes = new QListWidget(page);
    m_dupes->setObjectName(QStringLiteral("lstDupeDirs"));
    m_dupes->setSelectionMode(QAbstractItemView::ExtendedSelection);
    const auto reload = [this] {
        m_dupes->clear();
        m_dupes->addItems(m_lists.dupePaths.displayEntries());
    };
    reload();
    connect(&m_lists.dupePaths, &DupePaths::changed, m_dupes, reload);
    column->addWidget(m_dupes, 1);

    auto *row = new QHBoxLayout;
    m_dupeAdd = new QLineEdit(page);
    m_dupeAdd->setObjectName(QStringLiteral("txtDupeAdd"));
    selectAllOnFocus(m_dupeAdd);
    row->addWidget(m_dupeAdd, 1);
    QPushButton *add = button(page, "cmdDupeAdd", tr("Add"));
    row->addWidget(add);
    row->addWidget(settingCheck(page, "chkRecurse", s));
    QPushButton *browse = button(page, "cmdBrowseDupes", tr("Browse..."));
    row->addWidget(browse);
    QPushButton *remove = button(page, "Command1", tr("Remove"));
    row->addWidget(remove);
    column->addLayout(row);
    connect(add, &QPushButton::clicked, this, &OptionsWindow::addDupeFolder);
    connect(remove, &QPushButton::clicked, this, &OptionsWindow::removeDupeFolders);
    connect(browse, &QPushButton::clicked, this, [this] { openDupesPicker(); });
    connect(m_dupes, &QListWidget::itemClicked, m_dupeAdd,
            [this](QListWidgetItem *item) { m_dupeAdd->setText(item->text()); });

    auto *reset = new QHBoxLayout;
    QPushButton *resetList = button(page, "cmdResetDlist", tr("Reset"));
    m_dlistSize = new QLabel(m_lists.noRedl.sizeCaption(), page);
    m_dlistSize->setObjectName(QStringLiteral("lblDlistSize"));
    connect(&m_lists.noRedl, &NoRedlList::sizeChanged, m_dlistSize, &QLabel::setText);
    connect(resetList, &QPushButton::clicked, this, [this] {
        if (m_lists.noRedl.resetNoRedl())
            m_dlistSize->setText(m_lists.noRedl.sizeCaption());
    });
    reset->addWidget(resetList);
    reset->addWidget(m_dlistSize, 1);
    column->addLayout(reset);
    return page;
}

void OptionsWindow::addDupeFolder()
{
    QString folder = m_dupeAdd->text().trimmed();
    if (folder.isEmpty())
        return;
    if (!folder.endsWith(u'/'))
        folder += u'/';
    m_lists.dupePaths.addDupeFolder(folder);
    if (m_ctx.settings.checked(u"chkRecurse"))
        m_lists.dupePaths.addSubfolders(folder);
    m_dupeAdd->clear();
}

void OptionsWindow::removeDupeFolders()
{
    QList<int> rows;
    for (const QModelIndex &index : m_dupes->selectionModel()->selectedRows())
        rows.append(index.row());
    if (!rows.isEmpty())
        m_lists.dupePaths.removeRows(rows);
}

QWidget *OptionsWindow::buildAntiSpamTab()
{
    SettingsStore &s = m_ctx.settings;
    auto *page = new QWidget;
    auto *grid = new QGridLayout(page);
    int r = 0;
    const CheckKey checks[] = {"chkAllowGIF", "chkAllowPNG", "chkRequireJPG",
                               "chkOverall",  "chkSpamScan", "chkMultiPart"};
    for (const CheckKey key : checks)
        grid->addWidget(settingCheck(page, key, s), r++, 0);
    struct SliderCaption {
        const char *label;
        SliderKey slider;
        const char *before;
        const char *after;
    };
    static const SliderCaption sliders[] = {
        {"lblXposts", "sldXposts", "Ignore article if crossposted to more than ", " groups"},
        {"lblLineMin", "sldLineMin", "Ignore article if smaller than ", " lines"},
        {"lblLineMax", "sldLineMax", "or larger than ", " lines"},
        {"lblMultiPartHours", "sldMultiPartHours", "Wait for missing parts: ", " hours"},
    };
    for (const SliderCaption &c : sliders) {
        auto *label = new QLabel(QLatin1String(c.before) + QString::number(c.slider.def().defaultNumber) +
                                     QLatin1String(c.after),
                                 page);
        label->setObjectName(QString::fromLatin1(c.label));
        grid->addWidget(label, r++, 0);
        grid->addWidget(settingSlider(page, c.slider, s), r++, 0);
        captionFollowsSlider(label, c.slider, QLatin1String(c.before), QLatin1String(c.after));
    }

    auto *lists = new QVBoxLayout;
    lists->addWidget(settingCheck(page, "chkBLemail", s));
    lists->addWidget(new QLabel(tr("Blacklisted (sub-strings):"), page));
    m_blacklist = new QListWidget(page);
    m_blacklist->setObjectName(QStringLiteral("lstBLemail"));
    const auto reload = [this] {
        m_blacklist->clear();
        m_blacklist->addItems(m_lists.blacklist.displayEntries());
    };
    reload();
    connect(&m_lists.blacklist, &Blacklist::changed, m_blacklist, reload);
    lists->addWidget(m_blacklist, 1);
    m_blacklistAdd = new QLineEdit(page);
    m_blacklistAdd->setObjectName(QStringLiteral("txtAddBLemail"));
    selectAllOnFocus(m_blacklistAdd);
    lists->addWidget(m_blacklistAdd);
    auto *row = new QHBoxLayout;
    QPushButton *add = button(page, "cmdAddBLemail", tr("Add"));
    QPushButton *del = button(page, "cmdDelEmail", tr("Delete"));
    row->addWidget(add);
    row->addWidget(del);
    lists->addLayout(row);
    connect(add, &QPushButton::clicked, this, &OptionsWindow::addBlacklistEntry);
    connect(del, &QPushButton::clicked, this, &OptionsWindow::deleteBlacklistEntry);
    grid->addLayout(lists, 0, 1, r, 1);
    return page;
}

void OptionsWindow::addBlacklistEntry()
{
    const QString text = m_blacklistAdd->text();
    if (text.trimmed().isEmpty())
        return;
    m_lists.blacklist.addToBlacklist(text.toUtf8());
    m_blacklistAdd->clear();
}

void OptionsWindow::deleteBlacklistEntry()
{
    const int row = m_blacklist->currentRow();
    if (row >= 0 && m_blacklist->currentItem()->isSelected())
        m_lists.blacklist.removeAt(row);
}

} // namespace kestrel
