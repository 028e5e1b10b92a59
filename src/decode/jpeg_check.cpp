#include "decode/jpeg_check.h"

#include <QByteArray>
#include <QFile>

#include <algorithm>
#include <optional>

namespace kestrel {

namespace {
constexpr qint64 kSampleBlock = 1024;
constexpr qint64 kSampleLimit = 6000;
constexpr qint64 kEoiWindow = 115;
constexpr qint64 kSizeWarning = 300000;
constexpr int kSofChunks = 4;

bool isStartOfFrame(quint8 b)
{
    return b >= 0xC0 && b <= 0xCF && b != 0xC4 && b != 0xC8 && b != 0xCC;
}

bool hasMarker(QByteArrayView bytes, bool (*second)(quint8))
{
    for (qsizetype i = 0; i + 1 < bytes.size(); ++i) {
        if (quint8(bytes[i]) == 0xFF && second(quint8(bytes[i + 1])))
            return true;
    }
    return false;
}

bool containsFolded(QByteArrayView bytes, QByteArrayView upperNeedle)
{
    return QByteArray(bytes.data(), bytes.size()).toUpper().contains(upperNeedle);
}

// L / 6 rounded to the nearest whole number, halves to the even one.
qint64 sixthOf(qint64 length)
{
    qint64 q = length / 6;
    const qint64 r = length % 6;
    if (r > 3 || (r == 3 && (q & 1)))
        ++q;
    return q;
}

// Reads parts of the picture; each view stays valid until the next read.
class FileParts {
public:
    explicit FileParts(const QString &path) : m_file(path) {}
    bool open() { return m_file.open(QIODevice::ReadOnly); }
    qint64 length() const { return m_file.size(); }
    QString error() const { return m_file.errorString(); }
    std::optional<QByteArrayView> read(qint64 offset, qint64 length)
    {
        m_buf.resize(length);
        if (!m_file.seek(offset))
            return std::nullopt;
        const qint64 n = m_file.read(m_buf.data(), length);
        if (n < 0)
            return std::nullopt;
        return QByteArrayView(m_buf).first(n);
    }

private:
    QFile m_file;
    QByteArray m_buf;
};

class MemoryParts {
public:
    explicit MemoryParts(QByteArrayView bytes) : m_bytes(bytes) {}
    qint64 length() const { return m_bytes.size(); }
    std::optional<QByteArrayView> read(qint64 offset, qint64 length)
    {
        offset = std::min(offset, qint64(m_bytes.size()));
        return m_bytes.sliced(offset, std::min(length, m_bytes.size() - offset));
    }

private:
    QByteArrayView m_bytes;
};

template <typename Parts> int checkParts(Parts &parts)
{
    const qint64 length = parts.length();
    if (length == 0)
        return JpegEmpty;

    // Six blocks at most, fewer when one holds a DOS end-of-file byte.
    QByteArray sample;
    for (qint64 off = 0; off < length && sample.size() < kSampleLimit; off += kSampleBlock) {
        const auto block = parts.read(off, kSampleBlock);
        if (!block)
            return JpegUnreadable;
        sample.append(*block);
        if (block->contains('\x1A'))
            break;
    }
    if (sample.indexOf("JFIF") != 6)
        return JpegNoIdent;
    const bool gifMark = containsFolded(sample, "GIF");

    // A marker split between two chunks is not seen; a picture with its only SOF
    // marker there merely gets a warning.
    const qint64 chunk = sixthOf(length);
    bool sof = false;
    for (int k = 0; k < kSofChunks && chunk > 0 && k * chunk < length && !sof; ++k) {
        const auto part = parts.read(k * chunk, chunk);
        if (!part)
            return JpegUnreadable;
        sof = hasMarker(*part, isStartOfFrame);
    }
    if (!sof)
        return JpegNoSof;

    const qint64 tailStart = std::max<qint64>(0, length - kEoiWindow);
    const auto tail = parts.read(tailStart, length - tailStart);
    if (!tail)
        return JpegUnreadable;
    if (!hasMarker(*tail, [](quint8 b) { return b == 0xD9; }))
        return JpegNoEoi;

    if (length > kSizeWarning)
        return JpegOver300k;
    if (gifMark)
        return JpegFromGif;
    return JpegPassed;
}
} // namespace

int jpegCheck(const QString &path, QString *error)
{
    FileParts parts(path);
    const int code = parts.open() ? checkParts(parts) : JpegUnreadable;
    if (code == JpegUnreadable && error)
        *error = parts.error();
    return code;
}

int jpegCheckBytes(QByteArrayView picture)
{
    MemoryParts parts(picture);
    return checkParts(parts);
}

} // namespace kestrel
