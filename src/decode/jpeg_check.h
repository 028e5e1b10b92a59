#pragma once

#include <QByteArrayView>
#include <QString>

namespace kestrel {

// What the quick JPEG structure check found; the first problem in this order of
// precedence: empty, no JFIF identifier, no start-of-frame, no end-of-image, then the
// size and GIF warnings.
enum JpegCheckCode : int {
    JpegPassed = 0,
    JpegOver300k = 1, // longer than 300,000 bytes
    JpegEmpty = 2,
    JpegNoIdent = 3,     // "JFIF" not at bytes 7-10
    JpegNoEoi = 4,       // no FF D9 in the last 115 bytes
    JpegNoSof = 5,       // no start-of-frame marker in the first two thirds
    JpegFromGif = 6,     // the first kilobytes mention "GIF"
    JpegUnreadable = -1, // the file could not be opened or read
};

// Checks a picture file. Reads the first kilobytes, the first two thirds at most (in
// sixths, stopping at the first sixth holding a start-of-frame marker) and the last
// 115 bytes, never the whole file. JpegUnreadable, with the reason in *error, when
// the file cannot be read.
int jpegCheck(const QString &path, QString *error = nullptr);

// The same check of a picture held in memory.
int jpegCheckBytes(QByteArrayView picture);

} // namespace kestrel
