#pragma once

#include <QAbstractTableModel>
#include <QByteArray>
#include <QList>

namespace kestrel {

// One group found by the search.
struct GroupResultRow {
    QByteArray name;
    QString total; // "Total (est.)"
    QByteArray first;
    QByteArray last;
    qint16 smallIcon = 2; // 3 once added to the favourites
    bool selected = false;
};

// Builds the row of one matching line: name is the group name, wholeLine the trimmed
// list line "name last first flag".
GroupResultRow makeGroupResult(const QByteArray &name, QByteArrayView wholeLine);

// The search results: columns "Newsgroup Name", "Total (est.)", "First", "Last".
// Selection lives here, mirrored from the view.
class GroupResultsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Role { SmallIconRole = Qt::UserRole + 1, SelectedRole };
    enum Column { NameColumn = 0, TotalColumn, FirstColumn, LastColumn, ColumnCount };

    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    // Sorts the rows by the column's text (byte order).
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
    // A click on a column header: ascending, or reversed when the same header is clicked again.
    void headerClicked(int column);

    void clear();
    void appendRows(const QList<GroupResultRow> &rows);
    const QList<GroupResultRow> &rows() const { return m_rows; }
    void setSelected(int row, bool selected);
    void setSmallIcon(int row, qint16 icon);
    bool anySelected() const;

private:
    static QString columnText(const GroupResultRow &r, int column);

    QList<GroupResultRow> m_rows;
    int m_sortColumn = -1;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
};

} // namespace kestrel
