#pragma once

#include "decode/decode_hooks.h"
#include "decode/decoded_file.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace kestrel {

enum class Encoding { None, Yenc, Uuencode, Base64 };

// The result codes of the text decoder (uuencode and base64), kept in the form the
// log lines show them.
namespace uud {
// Load: 0 the work file was read; 1 it could not be read.
inline constexpr int LoadOk = 0;
inline constexpr int LoadUnreadable = 1;
// uuret: 0 decoded; 1 failed, the message says why.
inline constexpr int RetOk = 0;
inline constexpr int RetFailed = 1;
// mvret: 0 for damaged data, else the QFileDevice::FileError of the destination.
// Severity of the message: always 3, an error.
inline constexpr int SeverityError = 3;
} // namespace uud

// What decoding an article produced.
struct DecodeOutcome {
    bool ok = false;
    Encoding encoding = Encoding::None;
    // Bytes and placement, when ok. decodeArticleToFile and decodeFile leave `bytes`
    // empty for yEnc (written straight from the decode buffer) and full otherwise.
    DecodedFile file;
    QByteArray name; // the name in the encoding, made safe; empty when none
    // The text decoder's codes for the log ("decode err (uuret: ..."); unused for yEnc.
    int uuret = uud::RetOk;
    int mvret = 0;
    QString message; // why it failed: the yEnc error text or the text decoder's message
    // The data decoded but the destination could not be created or written: a full or
    // failing disk, not a damaged article.
    bool writeFailed = false;
};

// Decodes an article text held in memory: yEnc when "=ybegin " lies in the first
// 60,000 bytes, else the first uuencoded block, MIME base64 part or begin-base64 block.
// Logs what the work-file form logs, except anything about writing the destination.
// `destFile` is only shown in the yEnc log line.
DecodeOutcome decodeArticleText(QByteArrayView text, const QString &destFile, const DecodeHooks &hooks);

// Decodes an article text into `destFile` and logs every failure. This is the form the
// decode pipeline uses: no work file on disk. `ok` is true when `destFile` was written.
// `scratch`, when given, holds yEnc output and keeps its memory for the next article.
DecodeOutcome decodeArticleToFile(QByteArrayView text, const QString &destFile, const DecodeHooks &hooks,
                                  QByteArray *scratch = nullptr);

// Writes what decodeArticleText decoded (`outcome.ok` must be true) into `destFile`,
// logging a failure as decodeArticleToFile does; a failure clears `ok` and sets
// `writeFailed`.
void placeDecodedOutcome(DecodeOutcome &outcome, const QString &destFile, const DecodeHooks &hooks);

// The work-file form: reads `WorkFile` (never deletes it) and decodes it into
// `DestFile`. Returns true when `DestFile` was written. `outcome`, when given, receives
// the details (the name found in the encoding among them).
bool decodeFile(const QString &WorkFile, const QString &DestFile, const DecodeHooks &hooks,
                DecodeOutcome *outcome = nullptr);

} // namespace kestrel
