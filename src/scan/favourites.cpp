#include "scan/favourites.h"

#include "base/text_util.h"

#include "base/atomic_file.h"
#include "base/context.h"
#include "base/number_text.h"

#include <QFile>

#include <algorithm>

namespace kestrel {

namespace {

const char *const kFavouriteHeaders[] = {"Newsgroup Name", "Unread", "Last Read", "First", "Last", "Total"};

bool readsAsTrue(QByteArrayView flag)
{
    if (equalsCI(flag, "true"))
        return true;
    bool ok = false;
    const int n = flag.toByteArray().toInt(&ok);
    return ok && n != 0;
}

// One line of favs.txt in any of its forms.
FavouriteRow parseFavouriteLine(QByteArrayView line)
{
    FavouriteRow row;
    const qsizetype comma = line.indexOf(',');
    if (comma >= 0) {
        row.name = trimSpaces(line.first(comma)).toByteArray();
        const QByteArrayView rest = trimSpaces(line.sliced(comma + 1));
        const qsizetype c2 = rest.indexOf(',');
        if (c2 >= 0) {
            row.sub.setText(FavLastRead, trimSpaces(rest.first(c2)));
            row.ghosted = readsAsTrue(trimSpaces(rest.sliced(c2 + 1)));
        } else {
            row.sub.setText(FavLastRead, rest);
        }
        return row;
    }
    const qsizetype blank = line.indexOf(' ');
    if (blank < 0) {
        row.name = line.toByteArray();
        row.sub.at(FavLastRead) = ListNumber(0);
    } else {
        row.name = trimSpaces(line.first(blank)).toByteArray();
        row.sub.setText(FavLastRead, trimSpaces(line.sliced(blank + 1)));
    }
    return row;
}

} // namespace

FavouritesModel::FavouritesModel(Context &ctx, QObject *parent) : QAbstractTableModel(parent), m_ctx(ctx) {}

int FavouritesModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int FavouritesModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 1 + FavSubItemCount;
}

QVariant FavouritesModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const FavouriteRow &r = m_rows[index.row()];
    switch (role) {
    case Qt::DisplayRole:
        return displayText(index.column() == 0 ? r.name : r.sub.text(FavouriteColumn(index.column() - 1)));
    case SmallIconRole:
        return int(r.smallIcon);
    case GhostedRole:
        return r.ghosted;
    case SelectedRole:
        return r.selected;
    default:
        return {};
    }
}

QVariant FavouritesModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section > FavSubItemCount)
        return {};
    return QString::fromLatin1(kFavouriteHeaders[section]);
}

bool FavouritesModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return false;
    if (role == SelectedRole)
        setSelected(index.row(), value.toBool());
    else if (role == GhostedRole)
        setGhosted(index.row(), value.toBool());
    else
        return false;
    return true;
}

bool FavouritesModel::removeRows(int row, int count, const QModelIndex &parent)
{
    if (parent.isValid() || row < 0 || count <= 0 || row + count > m_rows.size())
        return false;
    beginRemoveRows(QModelIndex(), row, row + count - 1);
    m_rows.remove(row, count);
    endRemoveRows();
    return true;
}

void FavouritesModel::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column > FavSubItemCount)
        return;
    auto key = [column](const FavouriteRow &r) {
        return column == 0 ? r.name : r.sub.text(FavouriteColumn(column - 1));
    };
    Q_EMIT layoutAboutToBeChanged();
    std::stable_sort(m_rows.begin(), m_rows.end(), [&](const FavouriteRow &a, const FavouriteRow &b) {
        const QByteArray x = key(a);
        const QByteArray y = key(b);
        const int c = qstrnicmp(x.constData(), x.size(), y.constData(), y.size());
        return order == Qt::AscendingOrder ? c < 0 : c > 0;
    });
    Q_EMIT layoutChanged();
}

void FavouritesModel::loadFavs()
{
    QFile f(m_ctx.state.file(QStringLiteral("favs.txt")));
    if (!f.open(QIODevice::ReadOnly))
        return;
    const QByteArray all = f.readAll();
    forEachLine(all, [this](QByteArrayView line) {
        // A blank line would become a nameless group that no scan can select.
        if (!trimSpaces(line).isEmpty())
            appendRow(parseFavouriteLine(line));
    });
}

SaveResult FavouritesModel::saveFavs() const
{
    const QString path = m_ctx.state.file(QStringLiteral("favs.txt"));
    if (m_rows.isEmpty())
        return removeSavedFile(path);
    QByteArray out;
    for (const FavouriteRow &r : m_rows)
        out += r.name + ',' + r.sub.text(FavLastRead) + (r.ghosted ? ",True\r\n" : ",False\r\n");
    return writeFileAtomic(path, out);
}

bool FavouritesModel::saveFavsOrLog() const
{
    return m_ctx.reportSave(saveFavs());
}

void FavouritesModel::appendRow(const FavouriteRow &row)
{
    const int n = int(m_rows.size());
    beginInsertRows(QModelIndex(), n, n);
    m_rows.append(row);
    endInsertRows();
}

bool FavouritesModel::addFavouriteGroup(const QByteArray &name)
{
    const QByteArrayView wanted = trimSpaces(name);
    for (const FavouriteRow &r : m_rows)
        if (equalsCI(trimSpaces(r.name), wanted))
            return false;
    FavouriteRow row;
    row.name = name;
    appendRow(row);
    return true;
}

int FavouritesModel::findRow(QByteArrayView group) const
{
    for (int i = 0; i < m_rows.size(); ++i)
        if (m_rows[i].name == group)
            return i;
    return -1;
}

bool FavouritesModel::validCell(int row, FavouriteColumn column) const
{
    return row >= 0 && row < m_rows.size() && column >= 0 && column < FavSubItemCount;
}

std::optional<qint64> FavouritesModel::number(int row, FavouriteColumn column) const
{
    return validCell(row, column) ? m_rows[row].sub.at(column).value() : std::nullopt;
}

void FavouritesModel::setNumber(int row, FavouriteColumn column, qint64 value)
{
    if (!validCell(row, column))
        return;
    m_rows[row].sub.at(column) = ListNumber(value);
    rowChanged(row);
}

void FavouritesModel::clearNumber(int row, FavouriteColumn column)
{
    if (!validCell(row, column))
        return;
    m_rows[row].sub.at(column) = ListNumber();
    rowChanged(row);
}

std::optional<qint64> FavouritesModel::lastRead(QByteArrayView group) const
{
    return number(findRow(group), FavLastRead);
}

QByteArray FavouritesModel::getLastRead(QByteArrayView group) const
{
    const int i = findRow(group);
    return i < 0 ? QByteArray() : trimmedSpaces(m_rows[i].sub.text(FavLastRead));
}

void FavouritesModel::setSubItem(int row, FavouriteColumn column, const QByteArray &text)
{
    if (!validCell(row, column))
        return;
    m_rows[row].sub.setText(column, text);
    rowChanged(row);
}

void FavouritesModel::rowChanged(int row)
{
    Q_EMIT dataChanged(index(row, 0), index(row, FavSubItemCount));
}

void FavouritesModel::setSmallIcon(int row, qint16 icon)
{
    if (row < 0 || row >= m_rows.size() || m_rows[row].smallIcon == icon)
        return;
    m_rows[row].smallIcon = icon;
    rowChanged(row);
}

void FavouritesModel::setGhosted(int row, bool ghosted)
{
    if (row < 0 || row >= m_rows.size() || m_rows[row].ghosted == ghosted)
        return;
    m_rows[row].ghosted = ghosted;
    rowChanged(row);
}

void FavouritesModel::setSelected(int row, bool selected)
{
    if (row < 0 || row >= m_rows.size() || m_rows[row].selected == selected)
        return;
    m_rows[row].selected = selected;
    rowChanged(row);
}

void FavouritesModel::resetGroupIcons()
{
    for (int i = 0; i < m_rows.size(); ++i)
        setSmallIcon(i, 1);
}

bool FavouritesModel::moveRowBy(int row, int delta)
{
    const int to = row + delta;
    if (row < 0 || row >= m_rows.size() || to < 0 || to >= m_rows.size() || delta == 0)
        return false;
    // beginMoveRows counts the destination before the move.
    beginMoveRows(QModelIndex(), row, row, QModelIndex(), delta > 0 ? to + 1 : to);
    m_rows.move(row, to);
    endMoveRows();
    m_rows[to].selected = true;
    rowChanged(to);
    return true;
}

} // namespace kestrel
