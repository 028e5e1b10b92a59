#pragma once

#include "base/pending_entry.h"

#include <QByteArray>
#include <QList>

namespace kestrel {

// pending.parts: the parts of the multi-part pictures of pending.dat, which keeps one
// ordinary record per picture (its first part's article number as tag) so that
// pending.dat alone still reads as a list of single articles. Text, one item a line,
// fields separated by one blank; name, key and tag are percent-encoded (RFC 3986
// unreserved characters stay), so none holds a blank or a line end:
//   KESTREL-PARTS 1
//   picture <index> <total> <firstSeen> <name> <key>
//   part <number> <tag> <lines>
// index is the entry's position in pending.dat from 0, firstSeen milliseconds since
// 1970 UTC, and the part lines of a picture follow its picture line in part order.
namespace partsfile {

inline constexpr char Header[] = "KESTREL-PARTS 1";

struct Record {
    qint64 index = 0;
    QByteArray name; // the entry's text, to check that the record belongs to it
    PendingParts parts;
};

// Records for the multi-part entries of a list about to be written to pending.dat.
QByteArray encode(const QList<PendingEntry> &entries);

struct ReadResult {
    bool ok = false; // false: not a parts file of this version, or damaged
    QList<Record> records;
};

// Reads the whole text; any malformed line makes the result not ok, and no record is
// used then: a half-understood file must not give a picture the wrong parts.
ReadResult parse(const QByteArray &text);

} // namespace partsfile
} // namespace kestrel
