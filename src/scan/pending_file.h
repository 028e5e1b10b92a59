#pragma once

#include "base/pending_entry.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>

class QIODevice;

namespace kestrel {

// pending.dat: fixed 128-byte records. A text is a 16-bit little-endian length and
// that many single-byte characters, so one record holds at most 126 of them.
namespace pendingfile {

inline constexpr int RecordSize = 128;
inline constexpr int MaxTextLength = RecordSize - 2;
inline constexpr int SubjectLength = 96;
inline constexpr int RecordsPerEntry = 11;
inline constexpr int HeaderRecords = 3;
inline constexpr char Magic[] = "KESTRELPDC1001";

// Days since 30 December 1899, the time of day as fraction (local time).
double toOleDate(const QDateTime &t);
QDateTime fromOleDate(double days);

// Hour boundaries crossed between two times (10:59 -> 13:01 is 3).
qint64 hourBoundariesBetween(const QDateTime &from, const QDateTime &to);

QByteArray encode(const QList<PendingEntry> &entries, const QDateTime &savedAt);

struct ReadResult {
    bool magicOk = false;
    QDateTime savedAt;           // invalid when the stored date is not a date
    QList<PendingEntry> entries; // sound entries with a non-blank text
    QList<qint64> indices;       // the position in the file of each, from 0
    qint64 declared = 0;         // the count the file states
    qint64 dropped = 0;          // entries missing or unreadable
};

// Reads record by record, so a file that claims more than it holds costs no memory.
ReadResult read(QIODevice &in);

} // namespace pendingfile
} // namespace kestrel
