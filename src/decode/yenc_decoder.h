#pragma once

#include "decode/decode_hooks.h"
#include "decode/decoded_file.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace kestrel {

// Only this many bytes at the start of an article are searched for "=ybegin ".
inline constexpr qsizetype YencDetectionWindow = 60000;
// A part may not make its destination grow beyond this: a begin= far beyond any real
// picture is damage or malice, not data.
inline constexpr qint64 YencMaxFileSize = 64 * 1024 * 1024;
// The part of a picture posted in several articles may reach further: such pictures
// are assembled up to this size.
inline constexpr qint64 YencMaxPictureSize = 100 * 1024 * 1024;

// Whether the text holds "=ybegin " in its detection window; logs
// "yEnc Internal Decoder: yEnc Encoding detected..." when it does.
bool yEncCheckText(QByteArrayView text, const DecodeHooks &hooks);

// Decodes the yEnc data of an article in memory. Returns an empty string on success
// (with `decoded` filled) or the error text ("yEnc decoder: no =ybegin" or
// "yEnc decoder Error:" + reason). `destFile` is only shown in the log line.
QString yEncDecodeText(QByteArrayView text, const QString &destFile, const DecodeHooks &hooks,
                       DecodedFile &decoded);

// The same into `destFile`: a part lands at its begin= position, the rest of the file
// stays; a single-part article replaces the file. The destination is only opened once
// the data decoded, so damaged data never creates it. `writeFailed`, when given, tells
// a failure to open or write the destination (the disk's fault, not the article's).
// `scratch`, when given, holds the decoded bytes and keeps its memory for the next call.
QString yEncDecodeToFile(QByteArrayView text, const QString &destFile, const DecodeHooks &hooks,
                         QByteArray *name = nullptr, QByteArray *scratch = nullptr,
                         bool *writeFailed = nullptr);

// The work-file forms. A missing work file reads as empty.
bool yEncCheck(const QString &WorkFile, const DecodeHooks &hooks);
QString yEncDecode(const QString &WorkFile, const QString &DestFile, const DecodeHooks &hooks);

} // namespace kestrel
