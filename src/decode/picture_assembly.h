#pragma once

#include "decode/article_capture.h"
#include "decode/decode_pipeline.h"

#include <QByteArray>
#include <QString>

#include <map>
#include <optional>

namespace kestrel {

// One article of a picture posted in several parts, as the download connection
// received it.
struct RetrievedPart {
    QByteArray key; // names the picture: the same for all its parts, different for others
    int number = 0; // k, from 1
    int total = 0;  // n
    RetrievedArticle article;
};

// What became of a part handed to the assembly.
enum class PartResult {
    Waiting,          // written into the picture's work file; more parts to come
    Finished,         // the last part: the picture went through the pipeline (decoded says how)
    Dropped,          // the picture failed for good (logged): its other parts are not wanted
    NotStored,        // the disk refused: the picture's work is gone, nothing recorded
    NoDownloadFolder, // nowhere to put the picture: nothing written, nothing recorded
};

struct PartOutcome {
    PartResult result = PartResult::Waiting;
    DecodeResult decoded = DecodeResult::Nothing; // for Finished
};

// Puts pictures posted in several articles together. The parts of a picture come in
// part order (all of them over one connection); each is decoded in memory and written
// at its place in one work file under the download folder, so that memory holds one
// part at a time, never the picture. A yEnc part's place and size must agree with the
// picture and its pcrc32 with its data; after the last part the file's size and CRC-32
// must be those of the trailer. Only then does the picture go through the pipeline's
// steps, once, as a single-part picture does. Work files never outlive their picture.
class PictureAssembly {
public:
    explicit PictureAssembly(DecodePipeline &pipeline);
    ~PictureAssembly();
    PictureAssembly(const PictureAssembly &) = delete;
    PictureAssembly &operator=(const PictureAssembly &) = delete;

    PartOutcome partRetrieved(const RetrievedPart &part);
    // The picture will not be finished here (its run ended, a part was refused): its
    // work file goes. Unknown keys are ignored.
    void abandon(const QByteArray &key);
    // Pictures with parts written and parts still to come.
    qsizetype inProgress() const { return qsizetype(m_pictures.size()); }

    // The folder of the work files, under the download folder so that filing the
    // finished picture is a rename on the same disk.
    static QString workFolder(const QString &downloadFolder);

private:
    struct Picture;
    using Pictures = std::map<QByteArray, Picture>;
    enum class Step { Written, Bad, WriteFailed };

    PartOutcome takePart(const RetrievedPart &part);
    void logReceived(const RetrievedPart &part) const;
    std::optional<PartOutcome> start(const RetrievedPart &part);
    Step addPart(Picture &p, const RetrievedPart &part, QString &why);
    Step addYencPart(Picture &p, const RetrievedPart &part, QByteArrayView text, QString &why);
    Step addUuPart(Picture &p, const RetrievedPart &part, QByteArrayView text, QString &why);
    Step write(Picture &p, const QByteArray &bytes, std::optional<quint32> crc, QString &why);
    PartOutcome finish(Pictures::iterator it);
    PartOutcome drop(Pictures::iterator it, const QString &line);
    void removeWorkFile(const QString &path) const;
    void letGo(const QString &workFile) const;
    void removeLeftovers(const QString &folder) const;
    void log(const QString &line) const;

    DecodePipeline &m_pipeline;
    Pictures m_pictures;
    QByteArray m_unstuffed; // working memory for one part, kept from part to part
};

} // namespace kestrel
