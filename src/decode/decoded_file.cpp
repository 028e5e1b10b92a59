#include "decode/decoded_file.h"

#include "base/atomic_file.h"

#include <QFile>

namespace kestrel {

namespace {

QString writeAll(QFile &dest, const char *data, qint64 size)
{
    // QFile writes large buffers in one call; a short write means the disk refused.
    return writeAllBytes(dest, data, size);
}

} // namespace

QString placeDecoded(QFile &dest, const DecodedFile &decoded)
{
    if (decoded.replaceWhole) {
        if (!dest.resize(0) || !dest.seek(0))
            return dest.errorString();
    } else {
        const qint64 length = dest.size();
        if (decoded.position > length) {
            const QByteArray gap(decoded.position - length, GapFiller);
            if (!dest.seek(length))
                return dest.errorString();
            if (QString e = writeAll(dest, gap.constData(), gap.size()); !e.isEmpty())
                return e;
        }
        if (!dest.seek(decoded.position))
            return dest.errorString();
    }
    if (QString e = writeAll(dest, decoded.bytes.constData(), decoded.bytes.size()); !e.isEmpty())
        return e;
    return flushBytes(dest);
}

QString writeDecodedFile(const QString &path, const DecodedFile &decoded)
{
    QFile dest(path);
    if (!dest.open(QIODevice::ReadWrite))
        return dest.errorString();
    return placeDecoded(dest, decoded);
}

} // namespace kestrel
