#pragma once

#include "decode/decode_file.h"
#include "decode/decode_hooks.h"
#include "decode/download_folders.h"
#include "decode/fetched_names.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

namespace kestrel {

class Context;
class CsvIndex;
struct PreparedArticle;

// How one article ended in the pipeline.
enum class DecodeResult {
    Nothing,          // empty article text: nothing done, nothing logged
    NoDownloadFolder, // no usable download folder: nothing written, nothing recorded
    Dropped,          // the name check said KILL, or no usable file name was left
    DecodeFailed,     // recorded as fetched; the article text kept when chosen
    NotStored,        // decoded, but the disk refused the picture: nothing kept or recorded
    TestFailed,       // the picture test found an error; picture deleted
    CrcFailedKept,    // CSV CRC wrong; picture moved to crcfail
    CrcFailedDeleted, // CSV CRC wrong; picture deleted
    VerifiedMoved,    // CSV CRC right; picture moved to its series folder
    Verified,         // CSV CRC right; picture left where it was decoded
    Stored,           // not a CSV article; picture left where it was decoded
};

// Whether the article text starts with header lines (an ARTICLE reply) or only the
// body (a BODY reply). PerSetting takes it from chkSaveHeaders, which chose the request.
enum class HeaderLines { PerSetting, Present, Absent };

// The status and header lines of an article: its text up to and including the CR of
// the first CR LF CR LF; empty when there is no blank line.
QByteArrayView articleHeaderPart(QByteArrayView article);

// Turns downloaded articles into stored pictures, or into logged failures, one call
// per article: trims the text to its encoded part, checks a uuencoded name against the
// no-re-download list, decodes (from the text in hand; no work file is written), tests
// the picture, checks its CSV CRC and files it. Names from the network are made safe
// before they become paths, and nothing is created outside the download folder.
class DecodePipeline : public QObject {
    Q_OBJECT
public:
    // csv may be null: no CSV index, so no CRC checks.
    DecodePipeline(Context &ctx, FetchedNames &fetched, CsvIndex *csv = nullptr, QObject *parent = nullptr);

    // subFolder: the group sub-folder, empty for none. fileName: the pending entry's
    // file name. headerBlock: written beside the picture when not empty. The article's
    // CSV mark (small icon 3) and its subject come from ctx.state.currentArticle.
    // prepared: the same article already unstuffed and decoded (prepareArticle, on
    // another thread); then only the writing, testing and filing happen here.
    DecodeResult decodeArticle(QByteArrayView article, const QByteArray &subFolder,
                               const QByteArray &fileName, const QByteArray &headerBlock,
                               HeaderLines headers = HeaderLines::PerSetting,
                               const PreparedArticle *prepared = nullptr);

    // A picture put together from several articles in workFile (under the download
    // folder): the steps that follow decoding a single article, once, with the same
    // outcome lines: the name check of a uuencoded picture (uuBeginLine: its first
    // part's "begin" line, empty for yEnc), filing under its name, the picture test, the
    // CSV check, descript.ion, the header file and the no-re-download list. The work
    // file is moved into place; the caller removes it when it is still there.
    DecodeResult fileAssembled(const QString &workFile, const QByteArray &subFolder,
                               const QByteArray &fileName, const QByteArray &headerBlock,
                               const QByteArray &uuBeginLine = {});

    // Keeps an article that did not give a picture in bad_decodes when chkSaveDecodes
    // is on: B + "UUE" holds the text, and with chkSaveHeaders B + "TXT" the status
    // and header lines. fileName is made safe here as well.
    void saveBadDecode(const QByteArray &fileName, QByteArrayView text, QByteArrayView headerPart);
    // Appends fileName + " " + description to the descript.ion of the download folder
    // or of its sub-folder subFolder.
    void writeDescriptIon(const QByteArray &description, const QByteArray &fileName,
                          const QByteArray &subFolder);
    void makeBadDecodesFolder();

    // Successful decodes since start; shown in lblDecoded.
    qint32 decodedCount() const { return m_decodedCount; }

    // Called while a large article decodes (index 0 first, then after each block), so
    // the download session can keep its inactivity watchdog quiet.
    void setDecodeProgress(std::function<void(qint64 index, qint64 total)> progress)
    {
        m_progress = std::move(progress);
    }

    Context &context() const { return m_ctx; }
    // What the decoders report while they work: the log, the decode bar and the
    // progress callback.
    DecodeHooks decoderHooks();

Q_SIGNALS:
    // True while an article is being decoded: the windowed front end shows the busy
    // pointer.
    void busyChanged(bool busy);
    // A picture now rests at path (its folder, a series folder or crcfail), so lists of
    // files already present can count it without reading the folder again.
    void pictureStored(const QString &path);

private:
    struct Article;

    DecodeResult run(Article &a);
    std::optional<DecodeResult> placeName(Article &a);
    DecodeResult fileWhole(Article &a, const QString &workFile);
    bool takeFreeName(Article &a);
    void keepBadDecode(const Article &a);
    DecodeResult afterDecode(Article &a);
    DecodeOutcome decodeHere(Article &a, const QString &dest);
    DecodeOutcome placePrepared(Article &a, const QString &dest);
    void fitName(Article &a) const;
    DecodeResult notStored(const Article &a, const DecodeOutcome &decoded, bool existed);
    DecodeResult checkedCsvArticle(Article &a);
    void writeHeaderFile(const QString &path, const QByteArray &headerBlock);
    bool movePicture(const QString &from, const QString &to);
    void removePicture(const QString &path);
    void countDecoded();
    void log(const QString &message) const;

    Context &m_ctx;
    FetchedNames &m_fetched;
    CsvIndex *m_csv;
    qint32 m_decodedCount = 0;
    std::function<void(qint64, qint64)> m_progress;
    // Working memory kept from one article to the next, so that a run of large articles
    // does not map and fault in fresh pages for every one.
    QByteArray m_unstuffed;
    QByteArray m_decoded;
};

} // namespace kestrel
