#include "scan/pending_list_model.h"

#include "base/text_util.h"
#include "scan/blacklist.h"
#include "scan/noredl_list.h"
#include "scan/pending_file.h"
#include "scan/pending_parts_file.h"
#include "scan/subject_names.h"

#include "base/atomic_file.h"
#include "base/context.h"
#include "base/number_text.h"
#include "base/settings_file.h"

#include <QFile>

#include <algorithm>
#include <cmath>

namespace kestrel {

namespace {

QByteArray cell(const PendingEntry &e, int column)
{
    return column == 0 ? e.text : e.sub.text(PendingColumn(column - 1));
}

// What sorting compares: the cell as shown, without an allocation per comparison.
QByteArrayView sortKey(const PendingEntry &e, int column, NumberBuffer &buf)
{
    return column == 0 ? QByteArrayView(e.text) : e.sub.textView(PendingColumn(column - 1), buf);
}

// A download run takes it.
bool countsAsQueued(const PendingEntry &e)
{
    return !e.ghosted && !e.waiting();
}

QString partsFilePath(const Context &ctx)
{
    return ctx.state.file(QStringLiteral("pending.parts"));
}

// Lines as the header states them, rounded. A count past what qint64 holds keeps the
// text it has always been shown with: all its digits.
void setLines(PendingSubItems &sub, QByteArrayView linesText)
{
    const double lines = std::round(numericValue(linesText));
    if (std::fabs(lines) < 9.0e18)
        sub.lines = ListNumber(qint64(lines));
    else
        sub.setText(ColLines, QByteArray::number(lines, 'f', 0));
}

} // namespace

PendingListModel::PendingListModel(Context &ctx, NoRedlList &noRedl, Blacklist &blacklist, QObject *parent)
    : QAbstractTableModel(parent), m_ctx(ctx), m_noRedl(noRedl), m_blacklist(blacklist)
{
}

int PendingListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int PendingListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant PendingListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size() || index.column() >= ColumnCount)
        return {};
    const PendingEntry &e = m_rows[index.row()];
    switch (role) {
    case Qt::DisplayRole:
        if (index.column() == 0 && e.parts.isMultiPart())
            return displayText(e.text) +
                   QStringLiteral(" (%1/%2)").arg(e.parts.seen.size()).arg(e.parts.total);
        return displayText(cell(e, index.column()));
    case SmallIconRole:
        return int(e.smallIcon);
    case GhostedRole:
        return e.ghosted;
    case SelectedRole:
        return e.selected;
    case TagRole:
        return e.tag.value().value_or(0);
    default:
        return {};
    }
}

QVariant PendingListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= ColumnCount)
        return {};
    return QString::fromLatin1(kPendingColumns[size_t(section)].title);
}

bool PendingListModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || index.row() >= m_rows.size() || role != SelectedRole)
        return false;
    setSelected(index.row(), value.toBool());
    return true;
}

bool PendingListModel::lessThan(const PendingEntry &a, const PendingEntry &b) const
{
    NumberBuffer bufA;
    NumberBuffer bufB;
    const QByteArrayView x = sortKey(a, m_sortColumn, bufA);
    const QByteArrayView y = sortKey(b, m_sortColumn, bufB);
    const int c = qstrnicmp(x.data(), x.size(), y.data(), y.size());
    return m_sortOrder == Qt::AscendingOrder ? c < 0 : c > 0;
}

void PendingListModel::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= ColumnCount)
        return;
    m_sortingOn = true;
    m_sortColumn = column;
    m_sortOrder = order;
    Q_EMIT layoutAboutToBeChanged();
    std::stable_sort(m_rows.begin(), m_rows.end(),
                     [this](const PendingEntry &a, const PendingEntry &b) { return lessThan(a, b); });
    Q_EMIT layoutChanged();
}

void PendingListModel::headerClicked(int column)
{
    if (column == m_sortColumn && m_sortingOn)
        sort(column, m_sortOrder == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder);
    else if (column == m_sortColumn)
        sort(column, m_sortOrder);
    else
        sort(column, Qt::AscendingOrder);
}

// ---- bookkeeping shared by every operation -------------------------------------

void PendingListModel::indexName(const QByteArray &text, int delta)
{
    const QByteArray key = upperAscii(text);
    auto it = m_names.find(key);
    if (it == m_names.end()) {
        if (delta > 0)
            m_names.insert(key, delta);
        return;
    }
    *it += delta;
    if (*it <= 0)
        m_names.erase(it);
}

void PendingListModel::indexEntry(const PendingEntry &e, int delta)
{
    indexName(e.text, delta);
    if (!e.parts.isMultiPart())
        return;
    for (auto [hash, key] :
         {std::pair{&m_pictureNames, upperAscii(e.text)}, std::pair{&m_pictureKeys, e.parts.key}}) {
        const int n = hash->value(key) + delta;
        if (n > 0)
            hash->insert(key, n);
        else
            hash->remove(key);
    }
}

bool PendingListModel::containsSinglePartName(const QByteArray &name) const
{
    const QByteArray key = upperAscii(name);
    return m_names.value(key) > m_pictureNames.value(key);
}

int PendingListModel::findPicture(const QByteArray &key) const
{
    if (!m_pictureKeys.contains(key))
        return -1;
    // New parts mostly belong to pictures added late, at the end of the list.
    for (int i = int(m_rows.size()) - 1; i >= 0; --i)
        if (m_rows[i].parts.isMultiPart() && m_rows[i].parts.key == key)
            return i;
    return -1;
}

bool PendingListModel::containsName(QByteArrayView name) const
{
    if (m_names.isEmpty())
        return false;
    // Upper-case into a stack buffer: the duplicate test runs for most headers.
    char buf[256];
    if (name.size() > qsizetype(sizeof buf))
        return m_names.contains(upperAscii(name));
    for (qsizetype i = 0; i < name.size(); ++i)
        buf[i] = asciiUpper(name[i]);
    return m_names.contains(QByteArray::fromRawData(buf, name.size()));
}

void PendingListModel::setQueuedCount(int n)
{
    m_queued = n;
    if (m_ctx.state.pendingCount == n)
        return;
    m_ctx.state.pendingCount = n;
    Q_EMIT pendingCountChanged(n);
}

// While sorting is on, a new entry takes its sorted place.
int PendingListModel::insertionRow(int wanted, const PendingEntry &e) const
{
    if (!m_sortingOn)
        return wanted;
    const auto it =
        std::upper_bound(m_rows.cbegin(), m_rows.cend(), e,
                         [this](const PendingEntry &a, const PendingEntry &b) { return lessThan(a, b); });
    return int(it - m_rows.cbegin());
}

void PendingListModel::insertEntry(int row, PendingEntry e)
{
    indexEntry(e, +1);
    const bool queued = countsAsQueued(e);
    beginInsertRows(QModelIndex(), row, row);
    m_rows.insert(row, std::move(e));
    endInsertRows();
    if (queued)
        setQueuedCount(m_queued + 1);
}

void PendingListModel::removeEntry(int row)
{
    indexEntry(m_rows[row], -1);
    const bool queued = countsAsQueued(m_rows[row]);
    beginRemoveRows(QModelIndex(), row, row);
    m_rows.removeAt(row);
    endRemoveRows();
    if (queued)
        setQueuedCount(m_queued - 1);
}

void PendingListModel::setText(int row, const QByteArray &text)
{
    indexName(m_rows[row].text, -1);
    m_rows[row].text = text;
    indexName(text, +1);
}

void PendingListModel::rowChanged(int row)
{
    Q_EMIT dataChanged(index(row, 0), index(row, ColumnCount - 1));
}

void PendingListModel::setSelected(int row, bool selected)
{
    if (row < 0 || row >= m_rows.size() || m_rows[row].selected == selected)
        return;
    m_rows[row].selected = selected;
    rowChanged(row);
}

// ---- adding ---------------------------------------------------------------------

QByteArray PendingListModel::emailOf(const QByteArray &from)
{
    const qsizetype lt = from.indexOf('<');
    if (lt >= 0) {
        const qsizetype gt = from.indexOf('>', lt + 1);
        return from.mid(lt + 1, gt < 0 ? -1 : gt - lt - 1);
    }
    const qsizetype paren = from.indexOf('(');
    return paren >= 0 ? from.left(paren) : from;
}

void PendingListModel::addArticleHeader(const QByteArray &from, const QByteArray &subject,
                                        const QByteArray &organization, const QByteArray &articleNumber,
                                        const QByteArray &linesText, const QByteArray &postingHost,
                                        int crossposts, bool ghosted, const QByteArray &rejectionLabel,
                                        bool gif, bool csvMatched, const QByteArray &fileName,
                                        const QByteArray &newsgroup, PendingParts parts)
{
    ++m_addedCount;
    Q_EMIT addedCountChanged(m_addedCount);
    if (m_ctx.settings.checked(u"chkSFX"))
        m_ctx.playSfx(QStringLiteral("added.wav"));

    PendingEntry e;
    e.sub.email = emailOf(from);
    setLines(e.sub, linesText);
    e.sub.organization = organization;
    e.tag = ListNumber::fromText(articleNumber, 0);
    e.sub.subject = subject;
    e.text = ghosted ? rejectionLabel : fileName;
    e.smallIcon = csvMatched ? 3 : (gif ? 2 : 1);
    e.sub.postingHost = postingHost;
    e.sub.newsgroup = newsgroup;
    e.sub.crossposts = ListNumber(crossposts);
    e.ghosted = ghosted;
    e.parts = std::move(parts);
    const int row = insertionRow(int(m_rows.size()), e);
    insertEntry(row, std::move(e));
}

bool PendingListModel::addPart(int row, const PendingPart &part)
{
    PendingEntry &e = m_rows[row];
    QList<PendingPart> &seen = e.parts.seen;
    const auto at = std::lower_bound(seen.begin(), seen.end(), part.number,
                                     [](const PendingPart &p, qint16 n) { return p.number < n; });
    if (at != seen.end() && at->number == part.number)
        return false;
    seen.insert(at, part);
    e.sub.lines = ListNumber(e.sub.lines.value().value_or(0) + part.lines);
    if (e.parts.complete() && !e.ghosted)
        setQueuedCount(m_queued + 1);
    rowChanged(row);
    return true;
}

int PendingListModel::dropExpiredPictures()
{
    const int hours = m_ctx.settings.slider(u"sldMultiPartHours");
    const QDateTime now = m_ctx.clock.now();
    int dropped = 0;
    for (int i = int(m_rows.size()) - 1; i >= 0; --i) {
        const PendingEntry &e = m_rows[i];
        if (!e.waiting() || e.parts.firstSeen.addSecs(qint64(hours) * 3600) > now)
            continue;
        m_ctx.writeLog(QStringLiteral("Incomplete picture ") + displayText(e.text) +
                           QStringLiteral(" dropped: ") + QString::number(e.parts.seen.size()) +
                           QStringLiteral(" of ") + QString::number(e.parts.total) +
                           QStringLiteral(" parts in ") + QString::number(hours) + QStringLiteral(" hours."),
                       true);
        removeEntry(i);
        ++dropped;
    }
    return dropped;
}

void PendingListModel::requeueArticle()
{
    PendingEntry e = m_ctx.state.currentArticle;
    e.ghosted = false;
    e.selected = false;
    // First, sorted or not: it was next in line, and shutdown promises it first in
    // pending.dat. A sorted list is unsorted from here, as after Move To Top.
    if (m_sortingOn) {
        m_sortingOn = false;
        Q_EMIT sortingSwitchedOff();
    }
    insertEntry(0, std::move(e));
}

// ---- pending.dat ----------------------------------------------------------------

// Into an empty list the loaded entries go in one insertion: row by row, a list of a
// hundred thousand would be announced to every view a hundred thousand times. A stable
// sort gives the order that inserting each at its sorted place gives.
void PendingListModel::insertLoaded(QList<PendingEntry> entries)
{
    if (!m_rows.isEmpty()) {
        for (PendingEntry &e : entries)
            insertEntry(insertionRow(int(m_rows.size()), e), std::move(e));
        return;
    }
    if (entries.isEmpty())
        return;
    if (m_sortingOn)
        std::stable_sort(entries.begin(), entries.end(),
                         [this](const PendingEntry &a, const PendingEntry &b) { return lessThan(a, b); });
    for (const PendingEntry &e : std::as_const(entries))
        indexEntry(e, +1);
    beginInsertRows(QModelIndex(), 0, int(entries.size()) - 1);
    m_rows = std::move(entries);
    endInsertRows();
}

void PendingListModel::loadPending()
{
    const QString path = m_ctx.state.file(QStringLiteral("pending.dat"));
    QFile f(path);
    if (!f.exists())
        return;
    if (!f.open(QIODevice::ReadOnly)) {
        m_ctx.writeLog(QStringLiteral("pending.dat could not be read"), true);
        return;
    }
    pendingfile::ReadResult res = pendingfile::read(f);
    f.close();
    if (!res.magicOk) {
        m_ctx.writeLog(QStringLiteral("pending.dat is not a saved pending list, deleted"), true);
        QFile::remove(path);
        QFile::remove(partsFilePath(m_ctx));
        return;
    }
    if (res.savedAt.isValid()) {
        const qint64 age = pendingfile::hourBoundariesBetween(res.savedAt, m_ctx.clock.now());
        if (age > 2) {
            const QString q = QStringLiteral("Saved pending downloads are ") + QString::number(age) +
                              QStringLiteral(" hours old, load them anyway?");
            if (!m_ctx.prompter.question(q, true)) {
                QFile::remove(path);
                QFile::remove(partsFilePath(m_ctx));
                return;
            }
        }
    }
    if (res.dropped > 0)
        m_ctx.writeLog(QStringLiteral("pending.dat is damaged:") + numText(res.dropped) +
                           QStringLiteral(" of") + numText(res.declared) +
                           QStringLiteral(" saved entries could not be read"),
                       true);
    attachParts(res.entries, res.indices);
    insertLoaded(std::move(res.entries));
    int queued = 0;
    for (const PendingEntry &e : m_rows)
        queued += countsAsQueued(e) ? 1 : 0;
    m_ctx.state.pendingCount = -1; // always announce the loaded count
    setQueuedCount(queued);
    dropExpiredPictures();
}

// Gives the loaded entries their parts from pending.parts. An entry the file does not
// describe stays what pending.dat says: one article.
void PendingListModel::attachParts(QList<PendingEntry> &entries, const QList<qint64> &fileIndices)
{
    QFile f(partsFilePath(m_ctx));
    if (!f.exists())
        return;
    if (!f.open(QIODevice::ReadOnly)) {
        m_ctx.writeLog(
            QStringLiteral("pending.parts could not be read: its pictures are loaded as single articles"),
            true);
        return;
    }
    const partsfile::ReadResult res = partsfile::parse(f.readAll());
    if (!res.ok) {
        m_ctx.writeLog(QStringLiteral("pending.parts is damaged: its pictures are loaded as single articles"),
                       true);
        return;
    }
    QHash<qint64, qsizetype> rowOfIndex;
    for (qsizetype i = 0; i < fileIndices.size(); ++i)
        rowOfIndex.insert(fileIndices[i], i);
    for (const partsfile::Record &r : res.records) {
        const qsizetype row = rowOfIndex.value(r.index, -1);
        if (row < 0 || entries[row].text != r.name || entries[row].parts.isMultiPart()) {
            m_ctx.writeLog(
                QStringLiteral("pending.parts names ") + displayText(r.name) +
                    QStringLiteral(", which pending.dat does not hold there: loaded as a single article"),
                true);
            continue;
        }
        entries[row].parts = r.parts;
    }
}

SaveResult PendingListModel::savePending()
{
    for (int i = int(m_rows.size()) - 1; i >= 0; --i)
        if (m_rows[i].ghosted)
            removeEntry(i);
    const QString path = m_ctx.state.file(QStringLiteral("pending.dat"));
    // Parts first: a pending.dat whose pictures' parts were not saved would load them
    // as single articles.
    const SaveResult parts = saveParts();
    const SaveResult list = m_rows.isEmpty()
                                ? removeSavedFile(path)
                                : writeFileAtomic(path, pendingfile::encode(m_rows, m_ctx.clock.now()));
    return parts.ok() ? list : parts;
}

SaveResult PendingListModel::saveParts()
{
    const QString path = partsFilePath(m_ctx);
    const bool any = std::any_of(m_rows.cbegin(), m_rows.cend(),
                                 [](const PendingEntry &e) { return e.parts.isMultiPart(); });
    if (!any)
        return removeSavedFile(path);
    return writeFileAtomic(path, partsfile::encode(m_rows));
}

// ---- user commands --------------------------------------------------------------

void PendingListModel::moveToTop()
{
    m_sortingOn = false;
    // The first pass brings the selected entries up in reverse order, the second
    // restores their relative order.
    for (int pass = 0; pass < 2; ++pass) {
        for (int i = 1; i < m_rows.size(); ++i) {
            if (!m_rows[i].selected)
                continue;
            beginMoveRows(QModelIndex(), i, i, QModelIndex(), 0);
            m_rows.move(i, 0);
            endMoveRows();
            Q_EMIT scrollToRow(0);
        }
    }
}

void PendingListModel::removeSelected(bool addToNoRedl)
{
    const bool any =
        std::any_of(m_rows.cbegin(), m_rows.cend(), [](const PendingEntry &e) { return e.selected; });
    if (any) {
        for (int i = int(m_rows.size()) - 1; i >= 0; --i) {
            if (!m_rows[i].selected)
                continue;
            if (addToNoRedl)
                m_noRedl.addToNoRedl(m_rows[i].text);
            removeEntry(i);
        }
        return;
    }
    if (m_ctx.prompter.question(QStringLiteral("No articles selected, clear entire pending downloads list?"),
                                false))
        clear();
}

void PendingListModel::clear()
{
    beginResetModel();
    m_rows.clear();
    m_names.clear();
    m_pictureNames.clear();
    m_pictureKeys.clear();
    endResetModel();
    setQueuedCount(0);
}

void PendingListModel::forceToQueue()
{
    for (int i = int(m_rows.size()) - 1; i >= 0; --i) {
        PendingEntry &e = m_rows[i];
        if (!e.selected || !e.ghosted)
            continue;
        bool gifOrPng = false;
        const QByteArray name = extractNameByExtension(e.sub.subject, &gifOrPng);
        setText(i, name);
        if (gifOrPng)
            e.smallIcon = 2;
        e.ghosted = false;
        setQueuedCount(m_queued + 1);
        rowChanged(i);
    }
}

void PendingListModel::blacklistSelected(BlacklistField field)
{
    for (int i = int(m_rows.size()) - 1; i >= 0; --i) {
        if (!m_rows[i].selected)
            continue;
        const PendingEntry &e = m_rows[i];
        switch (field) {
        case BlacklistField::Email:
            m_blacklist.addToBlacklist(e.sub.email);
            break;
        case BlacklistField::Organization:
            m_blacklist.addToBlacklist(e.sub.organization);
            break;
        case BlacklistField::PostingHost:
            m_blacklist.addToBlacklist(e.sub.postingHost);
            break;
        }
        return;
    }
}

int PendingListModel::findAndSelect(const QString &text, bool matchCase)
{
    if (text.isEmpty())
        return 0;
    const Qt::CaseSensitivity cs = matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive;
    int selected = 0;
    for (int i = 0; i < m_rows.size(); ++i) {
        const PendingEntry &e = m_rows[i];
        if (e.ghosted || e.selected)
            continue;
        for (int c = 0; c < ColumnCount; ++c) {
            if (displayText(cell(e, c)).contains(text, cs)) {
                setSelected(i, true);
                ++selected;
                break;
            }
        }
    }
    return selected;
}

bool PendingListModel::downloadLightClicked()
{
    if (m_queued >= 1)
        return true;
    m_ctx.prompter.message(QStringLiteral("Warning, no valid JPGs in pending download list!"));
    return false;
}

int PendingListModel::firstDownloadable() const
{
    for (int i = 0; i < m_rows.size(); ++i)
        if (countsAsQueued(m_rows[i]) && !trimSpaces(m_rows[i].text).isEmpty())
            return i;
    return -1;
}

PendingEntry PendingListModel::takeAt(int row)
{
    if (row < 0 || row >= m_rows.size())
        return {};
    PendingEntry e = m_rows[row];
    removeEntry(row);
    return e;
}

} // namespace kestrel
