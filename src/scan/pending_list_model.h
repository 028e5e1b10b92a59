#pragma once

#include "base/atomic_file.h"
#include "base/pending_entry.h"

#include <QAbstractTableModel>
#include <QByteArray>
#include <QHash>
#include <QList>

namespace kestrel {

class Blacklist;
class Context;
class NoRedlList;

// Which field of an entry a blacklist command hands on.
enum class BlacklistField { Email, Organization, PostingHost };

// The pending download list: the queue between scanning and downloading, processed
// from the top. Column 0 is the file name (or the rejection label of a ghosted entry),
// columns 1..7 the sub-items. Selection lives here, mirrored from the view, because
// the commands and pending.dat act on it. ctx.state.pendingCount always equals the
// number of entries a download run can take: neither ghosted nor a picture still
// waiting for parts.
//
// A picture posted in several articles is one entry: its first part creates it, later
// parts join it by key (group, subject without counter, poster).
class PendingListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Role { SmallIconRole = Qt::UserRole + 1, GhostedRole, SelectedRole, TagRole };
    static constexpr int ColumnCount = 1 + PendingSubItemCount;

    PendingListModel(Context &ctx, NoRedlList &noRedl, Blacklist &blacklist, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    // Reorders the entries themselves: the download order is the list order.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    // Appends one entry for the header filter. newsgroup is the group being scanned;
    // parts is set for the first part of a multi-part picture.
    void addArticleHeader(const QByteArray &from, const QByteArray &subject, const QByteArray &organization,
                          const QByteArray &articleNumber, const QByteArray &linesText,
                          const QByteArray &postingHost, int crossposts, bool ghosted,
                          const QByteArray &rejectionLabel, bool gif, bool csvMatched,
                          const QByteArray &fileName, const QByteArray &newsgroup, PendingParts parts = {});
    // The row of the multi-part picture with this key; -1 when none is listed.
    int findPicture(const QByteArray &key) const;
    // A further part of the picture of the row. False when its number is already seen.
    bool addPart(int row, const PendingPart &part);
    // Drops the waiting pictures whose first part was queued sldMultiPartHours ago or
    // earlier. Returns how many went.
    int dropExpiredPictures();
    // Puts ctx.state.currentArticle back at the top, queued, also when the list is
    // sorted (which switches sorting off).
    void requeueArticle();

    void loadPending();
    SaveResult savePending();

    // User commands.
    void moveToTop();
    void removeSelected(bool addToNoRedl);
    void forceToQueue();
    void blacklistSelected(BlacklistField field);
    // Selects every queued entry whose text or a sub-item holds the text; never
    // deselects. Returns how many entries are selected by this call.
    int findAndSelect(const QString &text, bool matchCase);
    // A click on the download light: true when a download run should start; with
    // nothing queued it tells the user so and returns false.
    bool downloadLightClicked();
    // A click on a column header: a new column sorts ascending, the same one toggles.
    void headerClicked(int column);
    bool sortingOn() const { return m_sortingOn; }
    int sortColumn() const { return m_sortColumn; }
    Qt::SortOrder sortOrder() const { return m_sortOrder; }

    // Reading and taking entries.
    int count() const { return int(m_rows.size()); }
    const PendingEntry &entry(int row) const { return m_rows[row]; }
    // First entry that is neither ghosted nor blank; -1 when none.
    int firstDownloadable() const;
    PendingEntry takeAt(int row);
    void clear();
    void setSelected(int row, bool selected);
    // The name is the text of an entry, letters compared without case.
    bool containsName(QByteArrayView name) const;
    // The same, counting only entries that are not multi-part pictures.
    bool containsSinglePartName(const QByteArray &name) const;

    qint32 addedCount() const { return m_addedCount; }

    // The address part of a From value.
    static QByteArray emailOf(const QByteArray &from);

Q_SIGNALS:
    void pendingCountChanged(int count);
    void addedCountChanged(int count);
    // The view should bring this row into sight (a moved entry).
    void scrollToRow(int row);
    // Sorting went off without a click (an article put back first): hide the indicator.
    void sortingSwitchedOff();

private:
    int insertionRow(int wanted, const PendingEntry &e) const;
    void insertLoaded(QList<PendingEntry> entries);
    void insertEntry(int row, PendingEntry e);
    void removeEntry(int row);
    void setText(int row, const QByteArray &text);
    void indexName(const QByteArray &text, int delta);
    void indexEntry(const PendingEntry &e, int delta);
    void attachParts(QList<PendingEntry> &entries, const QList<qint64> &fileIndices);
    SaveResult saveParts();
    void setQueuedCount(int n);
    void rowChanged(int row);
    bool lessThan(const PendingEntry &a, const PendingEntry &b) const;

    Context &m_ctx;
    NoRedlList &m_noRedl;
    Blacklist &m_blacklist;
    QList<PendingEntry> m_rows;
    QHash<QByteArray, int> m_names; // upper-cased text -> entries with it
    // The same for multi-part pictures only, and their keys.
    QHash<QByteArray, int> m_pictureNames;
    QHash<QByteArray, int> m_pictureKeys;
    int m_queued = 0;
    qint32 m_addedCount = 0;
    bool m_sortingOn = false;
    int m_sortColumn = 0;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
};

} // namespace kestrel
