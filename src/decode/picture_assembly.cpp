#include "decode/picture_assembly.h"

#include "decode/decode_file.h"
#include "decode/download_folders.h"
#include "decode/text_view.h"
#include "decode/unstuff_dots.h"
#include "decode/uu_decoder.h"
#include "decode/yenc_decoder.h"
#include "decode/yenc_part_keys.h"

#include "base/context.h"
#include "base/format_speed.h"
#include "base/number_text.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <zlib.h>

namespace kestrel {

namespace {

constexpr auto npos = std::string_view::npos;
constexpr qsizetype kKeepBufferBytes = 8 * 1024 * 1024;

QString partLabel(const RetrievedPart &part)
{
    return QStringLiteral("Part") + numText(part.number) + QLatin1Char('/') + QString::number(part.total) +
           QStringLiteral(" of ") + displayText(part.article.fileName);
}

QString crcText(quint32 crc)
{
    return QStringLiteral("%1").arg(crc, 8, 16, QLatin1Char('0'));
}

// The body of a reply: after the status line, or after the header lines when they
// were asked for; without the "." line that ends the reply.
QByteArrayView bodyOf(QByteArrayView text, bool headers)
{
    const std::string_view v = asView(text);
    std::size_t start = 0;
    if (headers) {
        const std::size_t p = findBytes(v, "\r\n\r\n");
        start = p == npos ? 0 : p + 4;
    } else {
        const std::size_t p = v.find('\n');
        start = p == npos ? v.size() : p + 1;
    }
    QByteArrayView body = text.sliced(qsizetype(start));
    if (body.endsWith("\r\n.\r\n"))
        body.chop(3);
    else if (body == ".\r\n")
        body = {};
    return body;
}

} // namespace

struct PictureAssembly::Picture {
    QString workFile;
    QByteArray fileName;
    QByteArray group;
    int total = 0;
    int next = 1; // the part that must come next
    Encoding encoding = Encoding::None;
    qint64 written = 0;
    qint64 size = -1; // yEnc size=: the whole picture
    quint32 crc = 0;  // of the bytes written so far
    std::optional<quint32> expectedCrc;
    QByteArray headerBlock; // of the first part, when headers are kept
    QByteArray uuBeginLine; // the first part's "begin" line, for the name check
};

PictureAssembly::PictureAssembly(DecodePipeline &pipeline) : m_pipeline(pipeline) {}

PictureAssembly::~PictureAssembly()
{
    for (const auto &[key, picture] : m_pictures)
        letGo(picture.workFile);
}

QString PictureAssembly::workFolder(const QString &downloadFolder)
{
    return downloadFolder + QStringLiteral(".kestrel-parts");
}

void PictureAssembly::log(const QString &line) const
{
    m_pipeline.context().writeLog(line, true);
}

void PictureAssembly::logReceived(const RetrievedPart &part) const
{
    const Context &ctx = m_pipeline.context();
    const RetrievedArticle &a = part.article;
    // Filed later than read: the transfer's own end measures its speed.
    const QString speed = a.downloadEnd.isValid() && a.downloadStart.isValid()
                              ? formatSpeed(a.downloadStart.msecsTo(a.downloadEnd), a.bytes)
                              : formatSpeed(ctx.clock, a.downloadStart, a.bytes);
    log(partLabel(part) + QStringLiteral(" received: ") + formatKb(a.bytes) + QStringLiteral("kb [") + speed +
        QStringLiteral(" Kbps]"));
}

PartOutcome PictureAssembly::partRetrieved(const RetrievedPart &part)
{
    const PartOutcome outcome = takePart(part);
    // A rare huge part should not pin its memory once no picture is under way.
    if (m_pictures.empty() && m_unstuffed.capacity() > kKeepBufferBytes)
        m_unstuffed = QByteArray();
    return outcome;
}

PartOutcome PictureAssembly::takePart(const RetrievedPart &part)
{
    logReceived(part);
    auto it = m_pictures.find(part.key);
    if (it == m_pictures.end()) {
        if (std::optional<PartOutcome> stop = start(part))
            return *stop;
        it = m_pictures.find(part.key);
    }
    Picture &p = it->second;
    QString why;
    const Step step = part.number == p.next ? addPart(p, part, why) : Step::Bad;
    if (step == Step::Bad && why.isEmpty())
        why = QStringLiteral("came out of order (part") + numText(p.next) + QStringLiteral(" was due)");
    if (step == Step::Bad)
        return drop(it, partLabel(part) + QLatin1Char(' ') + why + QStringLiteral("; picture dropped."));
    if (step == Step::WriteFailed) {
        log(QStringLiteral("disk full: ") + p.workFile + QStringLiteral(" (") + why + QStringLiteral("); ") +
            displayText(part.article.fileName) + QStringLiteral(" stays in the queue"));
        letGo(p.workFile);
        m_pictures.erase(it);
        return {PartResult::NotStored};
    }
    ++p.next;
    if (part.number < p.total)
        return {PartResult::Waiting};
    return finish(it);
}

// The first part opens the picture's work file. Any other part without its picture
// belongs to one dropped already.
std::optional<PartOutcome> PictureAssembly::start(const RetrievedPart &part)
{
    const QString name = displayText(part.article.fileName);
    if (part.number != 1) {
        log(partLabel(part) + QStringLiteral(" came without the parts before it; picture dropped."));
        return PartOutcome{PartResult::Dropped};
    }
    const QString root = downloadFolder(m_pipeline.context().settings);
    if (root.isEmpty() || !QFileInfo(root).isDir()) {
        log((root.isEmpty() ? QStringLiteral("No download folder set: ")
                            : QStringLiteral("Download folder not found (") + root + QStringLiteral("): ")) +
            name + QStringLiteral(" not saved"));
        return PartOutcome{PartResult::NoDownloadFolder};
    }
    const QString folder = workFolder(root);
    if (m_pictures.empty())
        removeLeftovers(folder);
    if (!QDir().mkpath(folder)) {
        log(QStringLiteral("disk full: ") + folder + QStringLiteral(" (cannot create it); ") + name +
            QStringLiteral(" stays in the queue"));
        return PartOutcome{PartResult::NotStored};
    }
    Picture p;
    p.workFile = folder + QLatin1Char('/') +
                 QString::fromLatin1(QCryptographicHash::hash(part.key, QCryptographicHash::Md5).toHex()) +
                 QStringLiteral(".part");
    p.fileName = part.article.fileName;
    p.group = part.article.group;
    p.total = part.total;
    removeWorkFile(p.workFile);
    m_pictures.emplace(part.key, std::move(p));
    return std::nullopt;
}

// Work files left by a run that could not clean up after itself (a crash, a power
// cut) belong to no picture any more.
void PictureAssembly::removeLeftovers(const QString &folder) const
{
    const QStringList left = QDir(folder).entryList({QStringLiteral("*.part")}, QDir::Files);
    for (const QString &file : left)
        removeWorkFile(folder + QLatin1Char('/') + file);
}

PictureAssembly::Step PictureAssembly::addPart(Picture &p, const RetrievedPart &part, QString &why)
{
    const QByteArrayView text = unstuffDots(part.article.buffer, m_unstuffed);
    if (part.number == 1) {
        const bool keepHeaders =
            part.article.headersRequested && m_pipeline.context().settings.checked(u"chkSaveHeaders");
        if (keepHeaders)
            p.headerBlock = articleHeaderPart(part.article.buffer).toByteArray();
        if (findBytes(asView(text).substr(0, YencDetectionWindow), "=ybegin ") != npos)
            p.encoding = Encoding::Yenc;
        else if (findUuBegin(asView(bodyOf(text, part.article.headersRequested))))
            p.encoding = Encoding::Uuencode;
        else
            why = QStringLiteral("holds nothing to decode");
    }
    switch (p.encoding) {
    case Encoding::Yenc:
        return addYencPart(p, part, text, why);
    case Encoding::Uuencode:
        return addUuPart(p, part, bodyOf(text, part.article.headersRequested), why);
    default:
        return Step::Bad;
    }
}

// A yEnc part must be the next piece of the picture the earlier parts describe: its
// counter, the picture's size, its begin and end and its own size all agree, and its
// data matches its pcrc32 (the decoder checks that).
PictureAssembly::Step PictureAssembly::addYencPart(Picture &p, const RetrievedPart &part, QByteArrayView text,
                                                   QString &why)
{
    const DecodeOutcome out = decodeArticleText(text, p.workFile, m_pipeline.decoderHooks());
    const std::optional<YencPartKeys> keys = readYencPartKeys(asView(text));
    if (!out.ok || out.encoding != Encoding::Yenc || !keys) {
        why = QStringLiteral("failed to decode") +
              (out.message.isEmpty() ? QString() : QStringLiteral(" (") + out.message + QLatin1Char(')'));
        return Step::Bad;
    }
    const qint64 length = out.file.bytes.size();
    const qint64 size = keys->size.value_or(-1);
    if (out.file.replaceWhole)
        why = QStringLiteral("has no =ypart line");
    else if (keys->part.value_or(part.number) != part.number)
        why = QStringLiteral("says it is part") + numText(*keys->part);
    else if (keys->total.value_or(part.total) != part.total)
        why = QStringLiteral("says the picture has") + numText(*keys->total) + QStringLiteral(" parts");
    else if (size < 0)
        why = QStringLiteral("has no size=");
    else if (size > YencMaxPictureSize || (p.size >= 0 && size != p.size))
        why = QStringLiteral("gives size=") + QString::number(size) +
              (p.size >= 0 ? QStringLiteral(", the parts before it") + numText(p.size) : QString());
    else if (out.file.position != p.written)
        why = QStringLiteral("begins at byte") + numText(out.file.position + 1) + QStringLiteral(", not at") +
              numText(p.written + 1);
    else if (keys->end.value_or(p.written + length) != p.written + length || p.written + length > size)
        why = QStringLiteral("ends at byte") + numText(keys->end.value_or(p.written + length)) +
              QStringLiteral(", its data at") + numText(p.written + length) + QStringLiteral(" of") +
              numText(size);
    else if (keys->partSize.value_or(length) != length)
        why = QStringLiteral("holds") + numText(length) + QStringLiteral(" bytes, its trailer says") +
              numText(*keys->partSize);
    if (!why.isEmpty())
        return Step::Bad;
    p.size = size;
    if (keys->crc32)
        p.expectedCrc = keys->crc32;
    return write(p, out.file.bytes, out.file.crc32, why);
}

// uuencoded parts carry no positions: they are appended in part order, the first from
// its "begin" line on.
PictureAssembly::Step PictureAssembly::addUuPart(Picture &p, const RetrievedPart &part, QByteArrayView body,
                                                 QString &why)
{
    std::string_view data = asView(body);
    if (part.number == 1) {
        const std::optional<UuBeginLine> begin = findUuBegin(data);
        if (!begin) {
            why = QStringLiteral("holds nothing to decode");
            return Step::Bad;
        }
        p.uuBeginLine = toBytes(lineAt(data, begin->linePos)) + '\n';
        data = data.substr(std::min(begin->dataPos, data.size()));
    }
    const CodecResult decoded = uuDecodeBody(data);
    if (!decoded.ok()) {
        why = QStringLiteral("failed to decode (") + decoded.error + QLatin1Char(')');
        return Step::Bad;
    }
    if (p.written + decoded.bytes.size() > YencMaxPictureSize) {
        why = QStringLiteral("makes the picture larger than") + numText(YencMaxPictureSize >> 20) +
              QStringLiteral(" MiB");
        return Step::Bad;
    }
    return write(p, decoded.bytes, std::nullopt, why);
}

PictureAssembly::Step PictureAssembly::write(Picture &p, const QByteArray &bytes, std::optional<quint32> crc,
                                             QString &why)
{
    DecodedFile piece;
    piece.bytes = bytes;
    piece.position = p.written;
    piece.replaceWhole = false;
    why = writeDecodedFile(p.workFile, piece);
    if (!why.isEmpty())
        return Step::WriteFailed;
    const auto length = static_cast<z_off_t>(bytes.size());
    p.crc = crc ? quint32(crc32_combine(p.crc, *crc, length))
                : quint32(crc32(p.crc, reinterpret_cast<const Bytef *>(bytes.constData()), uInt(length)));
    p.written += bytes.size();
    return Step::Written;
}

PartOutcome PictureAssembly::finish(Pictures::iterator it)
{
    Picture &p = it->second;
    const QString name = displayText(p.fileName);
    if (p.encoding == Encoding::Yenc && p.written != p.size)
        return drop(it, name + QStringLiteral(": the parts hold") + numText(p.written) +
                            QStringLiteral(" bytes, size= says") + numText(p.size) +
                            QStringLiteral("; picture dropped."));
    if (p.expectedCrc && *p.expectedCrc != p.crc)
        return drop(it, name + QStringLiteral(" fails its CRC32 check (trailer ") + crcText(*p.expectedCrc) +
                            QStringLiteral(", data ") + crcText(p.crc) +
                            QStringLiteral("); picture dropped."));
    log(QStringLiteral("Picture ") + name + QStringLiteral(" assembled from") + numText(p.total) +
        QStringLiteral(" parts") + (p.expectedCrc ? QStringLiteral(", CRC32 verified") : QString()));
    const Picture done = std::move(p);
    m_pictures.erase(it);

    const SettingsStore &settings = m_pipeline.context().settings;
    const QByteArray subFolder = groupSubfolderName(done.group, settings.checked(u"chkMakeSubDirs"),
                                                    settings.checked(u"chkShortFolderNames"));
    const DecodeResult decoded =
        m_pipeline.fileAssembled(done.workFile, subFolder, done.fileName, done.headerBlock, done.uuBeginLine);
    letGo(done.workFile);
    switch (decoded) {
    case DecodeResult::NotStored:
        return {PartResult::NotStored, decoded};
    case DecodeResult::NoDownloadFolder:
        return {PartResult::NoDownloadFolder, decoded};
    default:
        return {PartResult::Finished, decoded};
    }
}

PartOutcome PictureAssembly::drop(Pictures::iterator it, const QString &line)
{
    log(line);
    letGo(it->second.workFile);
    m_pictures.erase(it);
    return {PartResult::Dropped};
}

void PictureAssembly::abandon(const QByteArray &key)
{
    const auto it = m_pictures.find(key);
    if (it == m_pictures.end())
        return;
    letGo(it->second.workFile);
    m_pictures.erase(it);
}

// The work file goes, and so does the work folder once no picture uses it, so that the
// download folder shows nothing of the assembly between runs.
void PictureAssembly::letGo(const QString &workFile) const
{
    removeWorkFile(workFile);
    QDir().rmdir(QFileInfo(workFile).absolutePath()); // fails, as it should, while not empty
}

void PictureAssembly::removeWorkFile(const QString &path) const
{
    QFile f(path);
    if (f.exists() && !f.remove())
        log(QStringLiteral("Cannot remove ") + path + QStringLiteral(": ") + f.errorString());
}

} // namespace kestrel
