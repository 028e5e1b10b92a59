#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

namespace kestrel {

// CRC-32 (the one of zip archives and .sfv check files) of a file's bytes; nullopt when
// the file cannot be opened or read to its end.
std::optional<quint32> fileCrc32(const QString &path);

// The same CRC as a signed 32-bit number, -1 when the file cannot be read. A file whose
// CRC is FFFFFFFF is indistinguishable from an unreadable one here; code that decides
// anything uses fileCrc32.
qint32 signedFileCrc(const QString &path);

// "&H" + the CRC in upper-case hex without leading zeros; empty when unreadable.
QByteArray fileCrcText(const QString &path);

// The value of a CRC written as hex digits, with or without a leading "&H": blanks and
// tabs are skipped, digits are read up to the first other character. nullopt when
// there is no digit at all or the value does not fit in 32 bits, so that a missing or
// garbled CRC never compares equal to anything.
std::optional<quint32> crcTextValue(QByteArrayView text);

} // namespace kestrel
