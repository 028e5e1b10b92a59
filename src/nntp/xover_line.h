#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace kestrel {

// Rebuilds one overview line (number, subject, from, date, message-id, references,
// bytes, lines, then optional fields, TAB-separated, without its line end) into the
// header block the filter reads:
//   "Subject: s" CR LF "From: f" CR LF "Date: d" CR LF "Message-ID: m" CR LF
//   "References: r" CR LF "Bytes: b" CR LF "Lines: l" CR LF CR LF rest CR CR LF
// A missing lines field is worked out from the bytes (bytes / 63) or taken as 1000.
// A field that no TAB follows ends the line: it takes the rest of the line, and
// the fields after it are empty. Returns false for a line without any TAB; block is
// overwritten (its capacity reused) and number is a view into line.
bool parseXoverLine(QByteArrayView line, QByteArray &block, QByteArrayView &number);

// The Lines value worked out from a bytes field: value / 63 written with a leading
// blank, up to 15 significant digits.
QByteArray linesFromBytes(QByteArrayView bytes);

} // namespace kestrel
