#include "decode/yenc_decoder.h"

#include "decode/file_name.h"
#include "decode/text_view.h"
#include "decode/work_file.h"
#include "decode/yenc_kernel.h"

#include <QFile>

#include <optional>
#include <zlib.h>

namespace kestrel {

namespace {

constexpr std::string_view BeginMarker = "=ybegin ";
constexpr std::string_view PartMarker = "=ypart";
constexpr std::string_view EndMarker = "=yend";
// Progress (and with it the download watchdog's activity stamp) moves once per block.
constexpr qsizetype ProgressBlock = 1 << 20;

struct YencHeader {
    std::size_t beginPos = 0;                     // of "=ybegin "
    std::size_t partPos = std::string_view::npos; // of "=ypart" after it, when multi-part
    QByteArray partText;                          // shown in the log only
    qint64 begin = 0;                             // 1-based position of a part, 0 for none
};

bool multiPart(const YencHeader &h)
{
    return h.partPos != std::string_view::npos;
}

QString failure(const QString &reason)
{
    return QStringLiteral("yEnc decoder Error:") + reason;
}

qint64 leadingNumber(std::string_view s)
{
    qint64 value = 0;
    for (char c : s) {
        if (c < '0' || c > '9')
            break;
        value = value * 10 + (c - '0');
        if (value > YencMaxFileSize * 16)
            break; // far too large already; the size check rejects it
    }
    return value;
}

std::optional<YencHeader> readHeader(std::string_view text)
{
    const std::string_view window = text.substr(0, YencDetectionWindow);
    YencHeader h;
    h.beginPos = findBytes(window, BeginMarker);
    if (h.beginPos == std::string_view::npos)
        return std::nullopt;
    if (const auto p = findBytes(window, "part="); p != std::string_view::npos) {
        const std::string_view rest = window.substr(p + 5);
        h.partText = toBytes(rest.substr(0, rest.find(' ')));
    }
    // The part line follows the header line at once; looking for it through the whole
    // text would cost a second pass over megabytes of data.
    h.partPos = findBytes(window, PartMarker, h.beginPos);
    if (multiPart(h)) {
        // begin= of the part line, not some earlier text that happens to hold it.
        const std::string_view partLine = lineAt(text, h.partPos);
        if (const auto p = partLine.find("begin="); p != std::string_view::npos)
            h.begin = leadingNumber(partLine.substr(p + 6));
    }
    return h;
}

// The value of key= among the blank-separated words of a trailer line.
std::optional<quint32> hexKey(std::string_view line, std::string_view key)
{
    std::size_t from = 0;
    while (from < line.size()) {
        std::size_t to = line.find(' ', from);
        if (to == std::string_view::npos)
            to = line.size();
        std::string_view word = line.substr(from, to - from);
        if (word.size() > key.size() && word.substr(0, key.size()) == key && word[key.size()] == '=') {
            word = word.substr(key.size() + 1);
            while (!word.empty() && (word.back() == '\r' || word.back() == ' '))
                word.remove_suffix(1);
            return hexNumber(word);
        }
        from = to + 1;
    }
    return std::nullopt;
}

QString crcText(quint32 crc)
{
    return QStringLiteral("%1").arg(crc, 8, 16, QLatin1Char('0'));
}

// Cuts out the data between the header (or part) line and "=yend", decodes it, checks
// the trailer's checksum and the size. Returns an error text or empty.
QString decodeBody(std::string_view text, const YencHeader &h, const DecodeHooks &hooks, DecodedFile &decoded,
                   QByteArray *scratch = nullptr)
{
    const std::size_t headerLine = multiPart(h) ? h.partPos : h.beginPos;
    const std::size_t lineEnd = text.find('\n', headerLine);
    if (lineEnd == std::string_view::npos)
        return failure(QStringLiteral("the header line has no line end"));
    const std::size_t start = lineEnd + 1;
    const std::size_t trailer = findBytes(text, EndMarker, start);
    if (trailer == std::string_view::npos)
        return failure(QStringLiteral("no =yend after the header line"));
    std::size_t end = trailer;
    if (end > start && text[end - 1] == '\n')
        --end; // the line break before the trailer; a CR before it is skipped anyway
    // Only a region without a single byte is empty. One of line breaks alone decodes to
    // a zero-byte file, which the picture test then reports like any empty picture.
    if (end <= start)
        return failure(QStringLiteral("empty data region"));

    const qint64 position = multiPart(h) && h.begin > 0 ? h.begin - 1 : 0;
    const qint64 maxSize = multiPart(h) ? YencMaxPictureSize : YencMaxFileSize;
    if (position >= maxSize)
        return failure(QStringLiteral("begin= lies beyond the largest file accepted"));

    const auto total = static_cast<qint64>(end - start);
    // With a scratch buffer the decoded bytes go into memory kept from the last article
    // (resize keeps the capacity); `decoded` then shares it instead of owning a copy.
    QByteArray local;
    QByteArray &out = scratch ? *scratch : local;
    out.resize(total);
    const auto *in = reinterpret_cast<const std::uint8_t *>(text.data()) + start;
    auto *o = reinterpret_cast<std::uint8_t *>(out.data());
    const yenc::KernelFn kernel = yenc::bestKernel();
    bool escaped = false;
    std::size_t written = 0;
    hooks.report(0, total);
    for (qint64 index = 0; index < total; index += ProgressBlock) {
        const auto n = static_cast<std::size_t>(std::min<qint64>(ProgressBlock, total - index));
        written += kernel(in + index, n, o + written, escaped);
        hooks.report(std::min<qint64>(index + ProgressBlock, total), total);
    }
    if (escaped)
        return failure(QStringLiteral("escape character at the end of the data"));
    if (position + static_cast<qint64>(written) > maxSize)
        return failure(QStringLiteral("the part would make the file larger than %1 MiB").arg(maxSize >> 20));
    out.truncate(static_cast<qsizetype>(written));

    // A part's crc32= covers the whole file and cannot be checked alone; its pcrc32= can.
    const std::string_view trailerLine = lineAt(text, trailer);
    std::optional<quint32> expected = hexKey(trailerLine, "pcrc32");
    if (!expected && !multiPart(h))
        expected = hexKey(trailerLine, "crc32");
    decoded.crc32.reset();
    if (expected) {
        const auto actual = static_cast<quint32>(
            crc32(0L, reinterpret_cast<const Bytef *>(out.constData()), static_cast<uInt>(written)));
        if (actual != *expected)
            return failure(QStringLiteral("CRC32 mismatch (trailer ") + crcText(*expected) +
                           QStringLiteral(", data ") + crcText(actual) + QLatin1Char(')'));
        decoded.crc32 = actual;
    }

    decoded.bytes = scratch ? out : std::move(out);
    decoded.position = position;
    decoded.replaceWhole = !multiPart(h);
    const std::string_view beginLine = lineAt(text, h.beginPos);
    if (const auto p = beginLine.find(" name="); p != std::string_view::npos)
        decoded.name = sanitizeFileName(toBytes(beginLine.substr(p + 6)));
    else
        decoded.name.clear();
    return {};
}

// Steps shared by the in-memory and the file form, up to the decoding itself.
std::optional<YencHeader> start(std::string_view text, const QString &destFile, const DecodeHooks &hooks)
{
    hooks.write(QStringLiteral("yEnc Internal Decoder: loading..."), false);
    std::optional<YencHeader> h = readHeader(text);
    if (h)
        hooks.write(QStringLiteral("yDecoding (") + destFile + QStringLiteral(") part: ") +
                        QString::fromLatin1(h->partText),
                    true);
    return h;
}

QString noBegin()
{
    return QStringLiteral("yEnc decoder: no =ybegin");
}

} // namespace

bool yEncCheckText(QByteArrayView text, const DecodeHooks &hooks)
{
    if (findBytes(asView(text).substr(0, YencDetectionWindow), BeginMarker) == std::string_view::npos)
        return false;
    hooks.write(QStringLiteral("yEnc Internal Decoder: yEnc Encoding detected..."), true);
    return true;
}

QString yEncDecodeText(QByteArrayView text, const QString &destFile, const DecodeHooks &hooks,
                       DecodedFile &decoded)
{
    const std::string_view t = asView(text);
    const std::optional<YencHeader> h = start(t, destFile, hooks);
    if (!h)
        return noBegin();
    return decodeBody(t, *h, hooks, decoded);
}

QString yEncDecodeToFile(QByteArrayView text, const QString &destFile, const DecodeHooks &hooks,
                         QByteArray *name, QByteArray *scratch, bool *writeFailed)
{
    const std::string_view t = asView(text);
    const std::optional<YencHeader> h = start(t, destFile, hooks);
    if (!h)
        return noBegin();
    DecodedFile decoded;
    if (QString e = decodeBody(t, *h, hooks, decoded, scratch); !e.isEmpty())
        return e;
    if (name)
        *name = decoded.name;
    QFile dest(destFile);
    QString e = dest.open(QIODevice::ReadWrite) ? placeDecoded(dest, decoded) : dest.errorString();
    if (e.isEmpty())
        return {};
    if (writeFailed)
        *writeFailed = true;
    return failure(e);
}

bool yEncCheck(const QString &WorkFile, const DecodeHooks &hooks)
{
    const WorkFileText work = readWorkFile(WorkFile, YencDetectionWindow);
    if (!work.error.isEmpty()) {
        hooks.write(QStringLiteral("yEncCheck Error: ") + work.error, true);
        return false;
    }
    return yEncCheckText(work.bytes, hooks);
}

QString yEncDecode(const QString &WorkFile, const QString &DestFile, const DecodeHooks &hooks)
{
    const WorkFileText work = readWorkFile(WorkFile);
    if (!work.error.isEmpty())
        return failure(work.error);
    return yEncDecodeToFile(work.bytes, DestFile, hooks);
}

} // namespace kestrel
