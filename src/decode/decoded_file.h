#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

class QFile;

namespace kestrel {

// Decoded bytes and where they belong in the destination file.
struct DecodedFile {
    QByteArray bytes;
    // 0-based offset of the first byte in the destination.
    qint64 position = 0;
    // true: the destination becomes exactly these bytes. false (a part of a multi-part
    // post): the other bytes of the destination stay; a gap up to `position` is filled.
    bool replaceWhole = true;
    // The file name the encoding carries, already made safe (see sanitizeFileName).
    QByteArray name;
    // The CRC-32 of `bytes`, when the decoder computed it to check the trailer.
    std::optional<quint32> crc32;
};

// Byte that fills the room before a part that arrives ahead of the parts before it.
inline constexpr char GapFiller = '\xFE';

// Writes `decoded` into `dest`, which must be open for reading and writing. Returns an
// empty string, or the reason the write failed.
QString placeDecoded(QFile &dest, const DecodedFile &decoded);

// Opens (creating when missing, never truncating) `path` and places `decoded` in it.
QString writeDecodedFile(const QString &path, const DecodedFile &decoded);

} // namespace kestrel
