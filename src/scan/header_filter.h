#pragma once

#include "base/settings_key.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QObject>

#include <optional>

#include <utility>
#include <vector>

namespace kestrel {

class Blacklist;
class Context;
class CsvLookup;
class DupePaths;
class NoRedlList;
class PendingListModel;
struct PartCounter;

// What the filter counts. They only grow, except ScanHeaderCount, which the scan
// driver resets at scan start and lowers by one for every GROUP it sends.
class FilterCounters : public QObject {
    Q_OBJECT
public:
    qint32 linesKilledCount = 0; // lblKilledByLines
    qint32 notPicCount = 0;      // lblNottaJPG
    qint32 spamCount = 0;        // lblSpam
    qint32 dupeCount = 0;        // lblDupe
    qint32 readCount = 0;        // lblSpeed
    qint32 tooBigCount = 0;      // lblTooBig: parts of pictures past the part or size limit
    qint32 scanHeaderCount = 0;

    // Main-window label objectName and the count it shows, for every counter that has
    // a label (addedCount, shown in lblMCount, belongs to the pending list).
    std::vector<std::pair<const char *, qint32>> labelValues() const;

    void notify() { Q_EMIT changed(); }

Q_SIGNALS:
    // After every header: the labels show the counts as plain decimals.
    void changed();
};

// The header fields the filter reads, as views into the block.
struct HeaderFields {
    QByteArrayView subject, lines, xref, postingHost, organization, from;
};

// Takes a header block (CR LF lines) apart as the filter reads it: each field is
// found by the first occurrence of its name anywhere in the block.
HeaderFields parseHeaderFields(QByteArrayView block);

// Number of groups an Xref value names: its colons, at least 1.
int countCrossposts(QByteArrayView xref);

// Decides for each scanned header whether the article is queued, counted as
// rejected, or listed ghosted for information.
class HeaderFilter {
public:
    HeaderFilter(Context &ctx, FilterCounters &counters, PendingListModel &pending, NoRedlList &noRedl,
                 Blacklist &blacklist, DupePaths &dupePaths, const CsvLookup &csv);

    // The group being scanned; it goes into every entry added.
    void setCurrentGroup(const QByteArray &group) { m_currentGroup = group; }
    const QByteArray &currentGroup() const { return m_currentGroup; }

    void filterArticleHeader(const QByteArray &block, const QByteArray &articleNumber);

    // 1 when the name is pending, already fetched or present in a duplicate folder.
    int checkDuplicate(const QByteArray &fileName) const;

    // A picture of more parts, or estimated larger, is not assembled.
    static constexpr int kMaxParts = 64;
    static constexpr qint64 kMaxPictureBytes = 100LL * 1024 * 1024;

private:
    bool isSet(CheckKey key) const;
    // The parts test of a header with a counter: its rejection label, or nullptr.
    const char *partLimitLabel(const QByteArray &block, double lines, const PartCounter &counter) const;
    // A pending picture of the key takes the part: true when the header is dealt with.
    bool joinPicture(const QByteArray &key, const PartCounter &counter, const QByteArray &articleNumber,
                     double lines);

    Context &m_ctx;
    FilterCounters &m_counters;
    PendingListModel &m_pending;
    NoRedlList &m_noRedl;
    Blacklist &m_blacklist;
    DupePaths &m_dupePaths;
    const CsvLookup &m_csv;
    QByteArray m_currentGroup;
};

} // namespace kestrel
