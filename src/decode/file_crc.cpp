#include "decode/file_crc.h"

#include <QFile>

#include <memory>
#include <zlib.h>

namespace kestrel {

namespace {
// Large enough that the per-read overhead vanishes, small enough to stay in L2.
constexpr qint64 kCrcBlock = 256 * 1024;

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}
} // namespace

std::optional<quint32> fileCrc32(const QString &path)
{
    QFile file(path);
    // Unbuffered: QFile's own buffer would only add a copy of every block.
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return std::nullopt;
    const auto buffer = std::make_unique<char[]>(kCrcBlock);
    uLong crc = crc32_z(0L, Z_NULL, 0);
    for (;;) {
        const qint64 n = file.read(buffer.get(), kCrcBlock);
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            break;
        crc = crc32_z(crc, reinterpret_cast<const Bytef *>(buffer.get()), size_t(n));
    }
    return quint32(crc);
}

qint32 signedFileCrc(const QString &path)
{
    const auto crc = fileCrc32(path);
    return crc ? qint32(*crc) : -1;
}

QByteArray fileCrcText(const QString &path)
{
    const auto crc = fileCrc32(path);
    if (!crc)
        return {};
    return "&H" + QByteArray::number(*crc, 16).toUpper();
}

std::optional<quint32> crcTextValue(QByteArrayView text)
{
    if (text.startsWith("&H") || text.startsWith("&h"))
        text = text.sliced(2);
    quint64 value = 0;
    bool anyDigit = false;
    for (const char c : text) {
        if (c == ' ' || c == '\t')
            continue;
        const int d = hexDigit(c);
        if (d < 0)
            break;
        anyDigit = true;
        value = value * 16 + quint64(d);
        if (value > 0xFFFFFFFFu)
            return std::nullopt;
    }
    if (!anyDigit)
        return std::nullopt;
    return quint32(value);
}

} // namespace kestrel
