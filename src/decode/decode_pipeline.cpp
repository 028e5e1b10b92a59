#include "decode/decode_pipeline.h"

#include "decode/csv_index.h"
#include "decode/decode_file.h"
#include "decode/descript_ion.h"
#include "decode/encoded_part.h"
#include "decode/file_name.h"
#include "decode/image_tester.h"
#include "decode/prepared_article.h"
#include "decode/text_view.h"
#include "decode/unstuff_dots.h"

#include "base/context.h"
#include "base/number_text.h"

#include <QFile>
#include <QFileInfo>

#include <filesystem>

namespace kestrel {

namespace {

constexpr qint16 CsvArticleIcon = 3;
// Working buffers larger than this are let go after their article: a rare huge post
// should not pin its memory for the rest of the run.
constexpr qsizetype KeepBufferBytes = 8 * 1024 * 1024;

void releaseIfLarge(QByteArray &buffer)
{
    if (buffer.capacity() > KeepBufferBytes)
        buffer = QByteArray();
}

// Unprintable bytes shown as '?', so a hostile name cannot garble the log.
QString printable(const QByteArray &name)
{
    QByteArray shown = name;
    for (char &c : shown) {
        if (static_cast<unsigned char>(c) < 32 || c == 127)
            c = '?';
    }
    return displayText(shown);
}

QString writeWhole(const QString &path, QByteArrayView first, QByteArrayView second)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return f.errorString();
    if (f.write(first.data(), first.size()) != first.size() ||
        f.write(second.data(), second.size()) != second.size())
        return f.errorString();
    return {};
}

} // namespace

QByteArrayView articleHeaderPart(QByteArrayView article)
{
    const std::size_t p = findBytes(asView(article), "\r\n\r\n");
    if (p == std::string_view::npos)
        return {};
    return article.first(static_cast<qsizetype>(p + 1));
}

struct DecodePipeline::Article {
    QByteArrayView text;                       // the encoded part, still dot-stuffed
    const PreparedArticle *prepared = nullptr; // decoded already, only to be written
    bool uuencoded = false;                    // the text holds a "begin 644" line
    QByteArrayView unstuffed;                  // what the decoder reads and bad_decodes keeps
    QByteArrayView headerPart;                 // status and header lines, kept with a failed article
    QByteArray received;                       // the file name as the pipeline received it
    QByteArray name;                           // the safe name the picture is stored under
    QByteArray headerBlock;
    QByteArray subName; // the safe group sub-folder, as bytes for descript.ion
    DownloadPaths paths;
    bool assembled = false; // put together from several articles: no article text to keep
    // Known when the picture file holds exactly the decoded bytes of a prepared article,
    // so that the checks need not read back what was just written.
    std::optional<int> pictureCheck;   // their JPEG structure check
    std::optional<quint32> pictureCrc; // their CRC-32, when the decoder worked it out
};

DecodePipeline::DecodePipeline(Context &ctx, FetchedNames &fetched, CsvIndex *csv, QObject *parent)
    : QObject(parent), m_ctx(ctx), m_fetched(fetched), m_csv(csv)
{
}

void DecodePipeline::log(const QString &message) const
{
    m_ctx.writeLog(message, true);
}

DecodeHooks DecodePipeline::decoderHooks()
{
    DecodeHooks hooks;
    hooks.log = [this](const QString &message, bool toLog) { m_ctx.writeLog(message, toLog); };
    hooks.progress = [this](qint64 index, qint64 total) {
        if (index == 0)
            m_ctx.display.setBarMaximum(3, int(std::min<qint64>(total, INT_MAX)));
        m_ctx.display.setBarValue(3, int(std::min<qint64>(index, INT_MAX)));
        if (m_progress)
            m_progress(index, total);
    };
    return hooks;
}

DecodeResult DecodePipeline::decodeArticle(QByteArrayView article, const QByteArray &subFolder,
                                           const QByteArray &fileName, const QByteArray &headerBlock,
                                           HeaderLines headers, const PreparedArticle *prepared)
{
    if (article.isEmpty())
        return DecodeResult::Nothing;
    Q_EMIT busyChanged(true);
    m_ctx.writeLog(QStringLiteral("Decoding..."), false);

    const bool hasHeaders = headers == HeaderLines::PerSetting ? m_ctx.settings.checked(u"chkSaveHeaders")
                                                               : headers == HeaderLines::Present;
    Article a;
    // Without a "begin 644" the name check has nothing to compare and returns the name
    // unchanged; skipping it spares a search through the whole text.
    const EncodedPart part = prepared ? prepared->part : locateEncodedPart(article, hasHeaders);
    a.text = article.sliced(part.start);
    a.uuencoded = part.uuencoded;
    a.prepared = prepared;
    a.headerPart = hasHeaders ? articleHeaderPart(article) : QByteArrayView();
    a.received = fileName;
    a.headerBlock = headerBlock;
    a.subName = sanitizeFileName(subFolder);
    a.paths.root = downloadFolder(m_ctx.settings);
    a.paths.sub = displayText(a.subName);

    const DecodeResult result = run(a);
    releaseIfLarge(m_unstuffed);
    releaseIfLarge(m_decoded);
    Q_EMIT busyChanged(false);
    return result;
}

// The download folder, the group sub-folder and the name the picture is stored under;
// a result when the picture cannot be stored at all.
std::optional<DecodeResult> DecodePipeline::placeName(Article &a)
{
    const QString &root = a.paths.root;
    if (root.isEmpty() || !QFileInfo(root).isDir()) {
        log((root.isEmpty() ? QStringLiteral("No download folder set: ")
                            : QStringLiteral("Download folder not found (") + root + QStringLiteral("): ")) +
            printable(a.received) + QStringLiteral(" not saved"));
        return DecodeResult::NoDownloadFolder;
    }
    makeDownloadSubfolder(root, a.paths.sub);

    const QByteArray checked =
        a.uuencoded
            ? m_fetched.uuencodedName(QByteArray::fromRawData(a.text.data(), a.text.size()), a.received)
            : a.received;
    if (checked == "KILL") {
        log(printable(a.received) + QStringLiteral(" not saved"));
        return DecodeResult::Dropped;
    }
    a.name = sanitizeFileName(checked);
    a.paths.name = displayText(a.name);
    fitName(a);
    if (a.name.isEmpty() || !isInsideFolder(root, a.paths.destination())) {
        log(QStringLiteral("Unusable file name: ") + printable(checked) + QStringLiteral(" not saved"));
        return DecodeResult::Dropped;
    }
    return std::nullopt;
}

DecodeResult DecodePipeline::run(Article &a)
{
    if (const std::optional<DecodeResult> stop = placeName(a))
        return *stop;

    const QString dest = a.paths.destination();
    const bool existed = QFileInfo::exists(dest);
    const DecodeOutcome decoded = a.prepared ? placePrepared(a, dest) : decodeHere(a, dest);
    if (decoded.writeFailed)
        return notStored(a, decoded, existed);
    if (!decoded.ok) {
        // No empty or half picture may stay where a good one is looked for.
        if (!existed)
            removePicture(dest);
        log(QStringLiteral("Decode Error: ") + a.paths.name);
        saveBadDecode(a.name, a.unstuffed, a.headerPart);
        m_fetched.recordFetched(a.received);
        m_ctx.playSfx(QStringLiteral("badcode.wav"));
        return DecodeResult::DecodeFailed;
    }
    log(QStringLiteral("Decode Successful: ") + a.paths.name);
    countDecoded();
    return afterDecode(a);
}

DecodeResult DecodePipeline::fileAssembled(const QString &workFile, const QByteArray &subFolder,
                                           const QByteArray &fileName, const QByteArray &headerBlock,
                                           const QByteArray &uuBeginLine)
{
    Q_EMIT busyChanged(true);
    Article a;
    a.assembled = true;
    a.text = uuBeginLine;
    a.uuencoded = uuBeginLine.contains("begin 644");
    a.received = fileName;
    a.headerBlock = headerBlock;
    a.subName = sanitizeFileName(subFolder);
    a.paths.root = downloadFolder(m_ctx.settings);
    a.paths.sub = displayText(a.subName);
    const DecodeResult result = fileWhole(a, workFile);
    Q_EMIT busyChanged(false);
    return result;
}

DecodeResult DecodePipeline::fileWhole(Article &a, const QString &workFile)
{
    if (const std::optional<DecodeResult> stop = placeName(a))
        return *stop;
    // Pictures of one name from different posters are different pictures: a later one
    // is filed beside the one already there, never over it.
    if (QFileInfo::exists(a.paths.destination()) && !takeFreeName(a))
        return DecodeResult::Dropped;
    const QString dest = a.paths.destination();
    if (!movePicture(workFile, dest)) {
        DecodeOutcome failed;
        failed.message = QStringLiteral("cannot move the assembled picture into place");
        return notStored(a, failed, false);
    }
    log(QStringLiteral("Decode Successful: ") + a.paths.name);
    countDecoded();
    return afterDecode(a);
}

// "pic.jpg" becomes "pic_2.jpg", or the first of "pic_3.jpg" .. that is free.
bool DecodePipeline::takeFreeName(Article &a)
{
    const qsizetype dot = a.name.lastIndexOf('.');
    const QByteArray stem = dot > 0 ? a.name.left(dot) : a.name;
    const QByteArray ext = dot > 0 ? a.name.mid(dot) : QByteArray();
    for (int n = 2; n < 1000; ++n) {
        const QByteArray name = stem + '_' + QByteArray::number(n) + ext;
        DownloadPaths paths = a.paths;
        paths.name = displayText(name);
        if (QFileInfo::exists(paths.destination()))
            continue;
        log(a.paths.name + QStringLiteral(" exists; filed as ") + paths.name);
        a.name = name;
        a.paths = paths;
        return true;
    }
    log(a.paths.name + QStringLiteral(" exists, and so do its numbered names: not saved"));
    return false;
}

DecodeOutcome DecodePipeline::decodeHere(Article &a, const QString &dest)
{
    a.unstuffed = unstuffDots(a.text, m_unstuffed);
    return decodeArticleToFile(a.unstuffed, dest, decoderHooks(), &m_decoded);
}

// The decoder ran elsewhere on the same text: what it said is logged here, where it
// would have been said, and only the writing is left to do.
DecodeOutcome DecodePipeline::placePrepared(Article &a, const QString &dest)
{
    const PreparedArticle &p = *a.prepared;
    a.unstuffed = p.unstuffedText();
    const DecodeHooks hooks = decoderHooks();
    for (const PreparedArticle::Message &m : p.messages)
        hooks.write(p.shown(m.text, dest), m.toLog);
    DecodeOutcome outcome = p.outcome;
    if (!outcome.ok)
        return outcome;
    placeDecodedOutcome(outcome, dest, hooks);
    if (outcome.ok && outcome.file.replaceWhole) {
        a.pictureCheck = p.pictureCheck;
        a.pictureCrc = outcome.file.crc32;
    }
    return outcome;
}

// The disk, not the article, failed: the article stays off the no-re-download list and
// out of bad_decodes (both would only fill the disk further and lose it for good), and
// what was half written goes.
DecodeResult DecodePipeline::notStored(const Article &a, const DecodeOutcome &decoded, bool existed)
{
    if (!existed || decoded.file.replaceWhole)
        removePicture(a.paths.destination());
    log(QStringLiteral("disk full: ") + a.paths.folder() + QStringLiteral(" (") + decoded.message +
        QStringLiteral("); ") + a.paths.name + QStringLiteral(" stays in the queue"));
    return DecodeResult::NotStored;
}

// A subject may name a file longer than the file system takes; the picture is stored
// under a shortened name rather than lost. The no-re-download list keeps the name it
// was queued under.
void DecodePipeline::fitName(Article &a) const
{
    const QString stored = storedFileName(a.paths.folder(), a.paths.name);
    if (stored == a.paths.name)
        return;
    log(QStringLiteral("File name too long, stored as: ") + stored);
    a.paths.name = stored;
    a.name = QFile::encodeName(stored);
}

DecodeResult DecodePipeline::afterDecode(Article &a)
{
    const QString dest = a.paths.destination();
    const qint32 verdict = a.pictureCheck ? testCheckedPicture(m_ctx, *a.pictureCheck, a.name)
                                          : testPicture(m_ctx, dest, a.name);
    if (verdict == IvtError) {
        keepBadDecode(a);
        m_ctx.playSfx(QStringLiteral("badcode.wav"));
        removePicture(dest);
        log(a.paths.name + QStringLiteral(" not saved"));
        return DecodeResult::TestFailed;
    }
    if (m_ctx.state.currentArticle.smallIcon == CsvArticleIcon && m_csv && m_csv->csvLoaded())
        return checkedCsvArticle(a);

    writeHeaderFile(a.paths.headerFile(), a.headerBlock);
    if (m_ctx.settings.checked(u"chkSaveACDsee"))
        writeDescriptIon(m_ctx.state.currentArticle.sub.subject, a.name, a.subName);
    m_fetched.recordFetched(a.received);
    Q_EMIT pictureStored(dest);
    m_ctx.playSfx(QStringLiteral("decode.wav"));
    return DecodeResult::Stored;
}

DecodeResult DecodePipeline::checkedCsvArticle(Article &a)
{
    const QString dest = a.paths.destination();
    const QString &root = a.paths.root;
    const bool crcRight = a.pictureCrc ? m_csv->csvCheckCrc(m_ctx, *a.pictureCrc, a.name)
                                       : m_csv->csvCheckCrc(m_ctx, dest, a.name);
    if (!crcRight) {
        m_ctx.playSfx(QStringLiteral("badcode.wav"));
        if (!m_ctx.settings.checked(u"chkCSVsavebadcrc")) {
            removePicture(dest);
            log(a.paths.name + QStringLiteral(" not saved"));
            return DecodeResult::CrcFailedDeleted;
        }
        const QString crcfail = QStringLiteral("crcfail");
        makeDownloadSubfolder(root, crcfail);
        if (const QString target = a.paths.under(crcfail, a.paths.name); movePicture(dest, target)) {
            log(a.paths.name + QStringLiteral(" moved to \\crcfail"));
            Q_EMIT pictureStored(target);
        }
        keepBadDecode(a);
        return DecodeResult::CrcFailedKept;
    }

    const QString series = safePathComponent(m_csv->csvFolder());
    bool moved = false;
    if (m_ctx.settings.checked(u"chkCSVusefolders") && !series.isEmpty()) {
        makeDownloadSubfolder(root, series);
        const QString target = a.paths.under(series, a.paths.name);
        moved = isInsideFolder(root, target) && movePicture(dest, target);
        if (moved) {
            log(a.paths.name + QStringLiteral(" moved to \\") + series);
            Q_EMIT pictureStored(target);
            writeHeaderFile(a.paths.under(series, a.paths.stem() + QStringLiteral("TXT")), a.headerBlock);
        }
    }
    if (!moved) {
        writeHeaderFile(a.paths.headerFile(), a.headerBlock);
        Q_EMIT pictureStored(dest);
    }
    m_fetched.recordFetched(a.received);
    m_ctx.playSfx(QStringLiteral("decode.wav"));
    return moved ? DecodeResult::VerifiedMoved : DecodeResult::Verified;
}

// A picture assembled from several articles has no one article text to keep.
void DecodePipeline::keepBadDecode(const Article &a)
{
    if (!a.assembled)
        saveBadDecode(a.name, a.unstuffed, a.headerPart);
}

void DecodePipeline::countDecoded()
{
    ++m_decodedCount;
    m_ctx.display.setCounter(QStringLiteral("lblDecoded"), m_decodedCount);
}

void DecodePipeline::writeHeaderFile(const QString &path, const QByteArray &headerBlock)
{
    if (headerBlock.isEmpty())
        return;
    if (const QString error = writeWhole(path, headerBlock, "\r\n"); !error.isEmpty())
        log(error);
}

bool DecodePipeline::movePicture(const QString &from, const QString &to)
{
    // A rename replaces the target in one step; across file systems fall back to a
    // copy, and never delete the source unless the copy is complete.
    std::error_code ec;
    std::filesystem::rename(QFile::encodeName(from).toStdString(), QFile::encodeName(to).toStdString(), ec);
    if (!ec)
        return true;
    QFile::remove(to);
    QFile source(from);
    if (!source.copy(to)) {
        log(source.errorString());
        return false;
    }
    removePicture(from);
    return true;
}

void DecodePipeline::removePicture(const QString &path)
{
    QFile f(path);
    if (f.exists() && !f.remove())
        log(f.errorString());
}

void DecodePipeline::makeBadDecodesFolder()
{
    makeDownloadSubfolder(downloadFolder(m_ctx.settings), QStringLiteral("bad_decodes"));
}

void DecodePipeline::saveBadDecode(const QByteArray &fileName, QByteArrayView text, QByteArrayView headerPart)
{
    if (!m_ctx.settings.checked(u"chkSaveDecodes"))
        return;
    const QString root = downloadFolder(m_ctx.settings);
    if (root.isEmpty())
        return;
    makeBadDecodesFolder();
    const DownloadPaths paths{root, QString(), fitFileName(safePathComponent(fileName))};
    if (paths.name.isEmpty())
        return;
    const QString folder = QStringLiteral("bad_decodes");
    if (QString e = writeWhole(paths.under(folder, paths.stem() + QStringLiteral("UUE")), text, "\r\n");
        !e.isEmpty())
        log(e);
    if (!m_ctx.settings.checked(u"chkSaveHeaders"))
        return;
    if (QString e = writeWhole(paths.under(folder, paths.stem() + QStringLiteral("TXT")), headerPart, "\r\n");
        !e.isEmpty())
        log(e);
}

void DecodePipeline::writeDescriptIon(const QByteArray &description, const QByteArray &fileName,
                                      const QByteArray &subFolder)
{
    const QString root = downloadFolder(m_ctx.settings);
    if (root.isEmpty())
        return;
    const DownloadPaths paths{root, safePathComponent(subFolder), QString()};
    if (const QString e = appendDescriptIon(paths.folder(), fileName, description); !e.isEmpty())
        log(e);
}

} // namespace kestrel
