#include "groups/group_results_model.h"

#include "base/number_text.h"
#include "groups/list_numbers.h"

#include <algorithm>

namespace kestrel {

namespace {

QByteArrayView trimmed(QByteArrayView v)
{
    return v.trimmed();
}

// Text before the first blank, and the text after it.
std::pair<QByteArrayView, QByteArrayView> splitAtBlank(QByteArrayView v)
{
    const qsizetype blank = v.indexOf(' ');
    if (blank < 0)
        return {v, QByteArrayView()};
    return {v.first(blank), v.sliced(blank + 1)};
}

} // namespace

GroupResultRow makeGroupResult(const QByteArray &name, QByteArrayView wholeLine)
{
    const QByteArrayView rest = trimmed(splitAtBlank(wholeLine).second);
    const auto [lastPart, afterLast] = splitAtBlank(rest);
    const QByteArrayView last = trimmed(lastPart);
    const QByteArrayView first = trimmed(splitAtBlank(trimmed(afterLast)).first);
    GroupResultRow row;
    row.name = name;
    row.first = first.toByteArray();
    row.last = last.toByteArray();
    row.total = estimateText(leadingNumber(last) - leadingNumber(first));
    return row;
}

int GroupResultsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int GroupResultsModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString GroupResultsModel::columnText(const GroupResultRow &r, int column)
{
    switch (column) {
    case NameColumn:
        return displayText(r.name);
    case TotalColumn:
        return r.total;
    case FirstColumn:
        return displayText(r.first);
    case LastColumn:
        return displayText(r.last);
    default:
        return QString();
    }
}

QVariant GroupResultsModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const GroupResultRow &r = m_rows[index.row()];
    switch (role) {
    case Qt::DisplayRole:
        return columnText(r, index.column());
    case SmallIconRole:
        return index.column() == NameColumn ? QVariant(int(r.smallIcon)) : QVariant();
    case SelectedRole:
        return r.selected;
    default:
        return {};
    }
}

QVariant GroupResultsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    static const char *const titles[ColumnCount] = {"Newsgroup Name", "Total (est.)", "First", "Last"};
    return section >= 0 && section < ColumnCount ? QString::fromLatin1(titles[section]) : QVariant();
}

bool GroupResultsModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || role != SelectedRole)
        return false;
    setSelected(index.row(), value.toBool());
    return true;
}

void GroupResultsModel::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= ColumnCount)
        return;
    Q_EMIT layoutAboutToBeChanged();
    std::stable_sort(m_rows.begin(), m_rows.end(),
                     [column, order](const GroupResultRow &a, const GroupResultRow &b) {
                         const QString ta = columnText(a, column);
                         const QString tb = columnText(b, column);
                         return order == Qt::AscendingOrder ? ta < tb : tb < ta;
                     });
    Q_EMIT layoutChanged();
}

void GroupResultsModel::headerClicked(int column)
{
    if (column == m_sortColumn)
        m_sortOrder = m_sortOrder == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    else
        m_sortOrder = Qt::AscendingOrder;
    m_sortColumn = column;
    sort(column, m_sortOrder);
}

void GroupResultsModel::clear()
{
    if (m_rows.isEmpty())
        return;
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

void GroupResultsModel::appendRows(const QList<GroupResultRow> &rows)
{
    if (rows.isEmpty())
        return;
    beginInsertRows(QModelIndex(), int(m_rows.size()), int(m_rows.size() + rows.size() - 1));
    m_rows.append(rows);
    endInsertRows();
}

void GroupResultsModel::setSelected(int row, bool selected)
{
    if (row < 0 || row >= m_rows.size() || m_rows[row].selected == selected)
        return;
    m_rows[row].selected = selected;
    Q_EMIT dataChanged(index(row, 0), index(row, ColumnCount - 1), {SelectedRole});
}

void GroupResultsModel::setSmallIcon(int row, qint16 icon)
{
    if (row < 0 || row >= m_rows.size())
        return;
    m_rows[row].smallIcon = icon;
    Q_EMIT dataChanged(index(row, 0), index(row, 0), {SmallIconRole});
}

bool GroupResultsModel::anySelected() const
{
    return std::any_of(m_rows.cbegin(), m_rows.cend(), [](const GroupResultRow &r) { return r.selected; });
}

} // namespace kestrel
