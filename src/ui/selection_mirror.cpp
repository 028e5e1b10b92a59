#include "ui/selection_mirror.h"

#include <QAbstractItemView>
#include <QItemSelectionModel>

#include <algorithm>

namespace kestrel {

SelectionMirror::SelectionMirror(QAbstractItemModel &source, int selectedRole, QObject *parent)
    : QObject(parent), m_source(source), m_role(selectedRole)
{
    const auto changing = [this] { m_modelChanging = true; };
    connect(&source, &QAbstractItemModel::rowsAboutToBeInserted, this, changing);
    connect(&source, &QAbstractItemModel::rowsAboutToBeRemoved, this, changing);
    connect(&source, &QAbstractItemModel::rowsAboutToBeMoved, this, changing);
    connect(&source, &QAbstractItemModel::modelAboutToBeReset, this, changing);
    connect(&source, &QAbstractItemModel::layoutAboutToBeChanged, this, changing);
}

void SelectionMirror::attach(QAbstractItemView *view)
{
    m_view = view;
    QAbstractItemModel *shown = view->model();
    // The shown model's "done" signals arrive after the selection model has caught up.
    // Inserted, removed and moved rows carry the selection of the other rows along,
    // so only new rows need a look; a scan appends rows one at a time.
    connect(shown, &QAbstractItemModel::rowsInserted, this, [this](const QModelIndex &, int first, int last) {
        m_modelChanging = false;
        syncViewRows(first, last);
    });
    const auto settled = [this] { m_modelChanging = false; };
    connect(shown, &QAbstractItemModel::rowsRemoved, this, settled);
    connect(shown, &QAbstractItemModel::rowsMoved, this, settled);
    const auto changed = [this] {
        m_modelChanging = false;
        syncWholeView();
    };
    connect(shown, &QAbstractItemModel::modelReset, this, changed);
    connect(shown, &QAbstractItemModel::layoutChanged, this, changed);
    connect(shown, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex &tl, const QModelIndex &br, const QList<int> &roles) {
                if (roles.isEmpty() || roles.contains(m_role))
                    syncViewRows(tl.row(), br.row());
            });
    connect(view->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &SelectionMirror::viewSelectionChanged);
    syncWholeView();
}

bool SelectionMirror::modelSelected(int row) const
{
    return m_source.data(m_source.index(row, 0), m_role).toBool();
}

void SelectionMirror::viewSelectionChanged(const QItemSelection &selected, const QItemSelection &deselected)
{
    if (m_syncing || m_modelChanging)
        return;
    m_syncing = true;
    const auto apply = [this](const QItemSelection &ranges, bool on) {
        for (const QItemSelectionRange &r : ranges)
            for (int row = r.top(); row <= r.bottom(); ++row)
                m_source.setData(m_source.index(row, 0), on, m_role);
    };
    apply(deselected, false);
    apply(selected, true);
    m_syncing = false;
}

void SelectionMirror::syncViewRows(int first, int last)
{
    if (m_syncing || m_modelChanging || !m_view)
        return;
    QItemSelectionModel *sel = m_view->selectionModel();
    const QAbstractItemModel *shown = m_view->model();
    m_syncing = true;
    for (int row = std::max(first, 0); row <= last && row < m_source.rowCount(); ++row) {
        const bool want = modelSelected(row);
        if (sel->isRowSelected(row, QModelIndex()) != want)
            sel->select(shown->index(row, 0),
                        (want ? QItemSelectionModel::Select : QItemSelectionModel::Deselect) |
                            QItemSelectionModel::Rows);
    }
    m_syncing = false;
}

void SelectionMirror::syncWholeView()
{
    if (m_syncing || m_modelChanging || !m_view)
        return;
    const QAbstractItemModel *shown = m_view->model();
    QItemSelection selection;
    const int lastColumn = shown->columnCount() - 1;
    for (int row = 0; row < m_source.rowCount(); ++row)
        if (modelSelected(row))
            selection.select(shown->index(row, 0), shown->index(row, lastColumn));
    m_syncing = true;
    m_view->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    m_syncing = false;
}

} // namespace kestrel
