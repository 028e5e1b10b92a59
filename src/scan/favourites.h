#pragma once

#include "base/atomic_file.h"
#include "scan/favourite_row.h"

#include <QAbstractTableModel>
#include <QByteArray>
#include <QList>

#include <optional>

namespace kestrel {

class Context;

// The favourite newsgroups in scan order (favs.txt). Column 0 is the group name,
// columns 1..5 the sub-items. Selection lives here, mirrored from the view.
class FavouritesModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Role { SmallIconRole = Qt::UserRole + 1, GhostedRole, SelectedRole };

    explicit FavouritesModel(Context &ctx, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    bool removeRows(int row, int count, const QModelIndex &parent = QModelIndex()) override;
    // Sorts the rows themselves by the column's text, letters compared without case.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    void loadFavs();
    SaveResult saveFavs() const;
    // For saves along the way (a scanned group, an added favourite): a failure is
    // logged, and the file is written again at shutdown. Returns whether it worked.
    bool saveFavsOrLog() const;

    const FavouriteRow &row(int i) const { return m_rows[i]; }
    const QList<FavouriteRow> &rows() const { return m_rows; }
    void appendRow(const FavouriteRow &row);
    // Adds a group at the end unless one of that name (trimmed, any case) is listed.
    bool addFavouriteGroup(const QByteArray &name);
    // First row whose name equals group; -1 when none.
    int findRow(QByteArrayView group) const;
    // A count or article number of a row; empty when blank.
    std::optional<qint64> number(int row, FavouriteColumn column) const;
    void setNumber(int row, FavouriteColumn column, qint64 value);
    void clearNumber(int row, FavouriteColumn column);
    // "Last Read" of the group's row; empty when the group is not listed or never read.
    std::optional<qint64> lastRead(QByteArrayView group) const;

    // Kept for the circle's callers until they move to the numeric API above.
    // Trimmed "Last Read" text of the group's row as stored; empty when unknown.
    QByteArray getLastRead(QByteArrayView group) const;
    void setSubItem(int row, FavouriteColumn column, const QByteArray &text);
    void setSmallIcon(int row, qint16 icon);
    void setGhosted(int row, bool ghosted);
    void setSelected(int row, bool selected);
    void resetGroupIcons();
    // Moves one row one place up (-1) or down (+1), keeping it selected.
    bool moveRowBy(int row, int delta);

private:
    bool validCell(int row, FavouriteColumn column) const;
    void rowChanged(int row);

    Context &m_ctx;
    QList<FavouriteRow> m_rows;
};

} // namespace kestrel
