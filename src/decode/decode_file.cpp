#include "decode/decode_file.h"

#include "base/number_text.h"
#include "decode/base64_decoder.h"
#include "decode/file_name.h"
#include "decode/text_view.h"
#include "decode/uu_decoder.h"
#include "decode/work_file.h"
#include "decode/yenc_decoder.h"

#include <QFile>

namespace kestrel {

namespace {

void logYencFailure(const QString &error, const DecodeHooks &hooks)
{
    hooks.write(QStringLiteral("decode err (yEnc:") + error + QLatin1Char(')'), true);
}

void logTextFailure(DecodeOutcome &outcome, const DecodeHooks &hooks)
{
    outcome.ok = false;
    hooks.write(QStringLiteral("decode err (uuret:") + numText(outcome.uuret) + QStringLiteral("  mvret:") +
                    numText(outcome.mvret) + QLatin1Char(')'),
                true);
    if (outcome.uuret == uud::RetFailed)
        hooks.write(outcome.message + QStringLiteral(" (severity:") + numText(uud::SeverityError) +
                        QLatin1Char(')'),
                    true);
}

// The item the text decoder takes: whichever encoded block starts first.
struct TextItem {
    Encoding encoding = Encoding::None;
    std::size_t start = std::string_view::npos;
    std::size_t body = 0;
    std::size_t bodyEnd = 0;
    QByteArray name;
};

TextItem firstItem(std::string_view t)
{
    TextItem item;
    if (auto uu = findUuBegin(t)) {
        item = {Encoding::Uuencode, uu->linePos, uu->dataPos, t.size(), uu->name};
    }
    for (auto b64 : {findMimeBase64(t), findBeginBase64(t)}) {
        if (b64 && b64->startPos < item.start)
            item = {Encoding::Base64, b64->startPos, b64->bodyPos, b64->bodyEnd, b64->name};
    }
    return item;
}

// Everything that is not yEnc: uuencode and base64. Decodes in memory.
DecodeOutcome decodeText(std::string_view t, const DecodeHooks &hooks)
{
    DecodeOutcome outcome;
    const TextItem item = firstItem(t);
    if (item.encoding == Encoding::None) {
        hooks.write(QStringLiteral("decode err -- uud reports nothing to decode"), true);
        return outcome;
    }
    outcome.encoding = item.encoding;
    outcome.name = sanitizeFileName(item.name);
    const std::string_view body =
        t.substr(std::min(item.body, t.size()), item.bodyEnd > item.body ? item.bodyEnd - item.body : 0);
    CodecResult decoded = item.encoding == Encoding::Uuencode ? uuDecodeBody(body) : base64Decode(body);
    if (!decoded.ok()) {
        outcome.uuret = uud::RetFailed;
        outcome.message = decoded.error;
        logTextFailure(outcome, hooks);
        return outcome;
    }
    outcome.ok = true;
    outcome.file.bytes = std::move(decoded.bytes);
    outcome.file.name = outcome.name;
    return outcome;
}

void writeTextResult(DecodeOutcome &outcome, const QString &destFile, const DecodeHooks &hooks)
{
    QFile dest(destFile);
    QString error;
    if (!dest.open(QIODevice::ReadWrite))
        error = dest.errorString();
    else
        error = placeDecoded(dest, outcome.file);
    if (error.isEmpty())
        return;
    outcome.uuret = uud::RetFailed;
    outcome.writeFailed = true;
    outcome.mvret = static_cast<int>(dest.error());
    outcome.message = QStringLiteral("cannot write ") + destFile + QStringLiteral(": ") + error;
    logTextFailure(outcome, hooks);
}

} // namespace

DecodeOutcome decodeArticleText(QByteArrayView text, const QString &destFile, const DecodeHooks &hooks)
{
    if (!yEncCheckText(text, hooks))
        return decodeText(asView(text), hooks);
    DecodeOutcome outcome;
    outcome.encoding = Encoding::Yenc;
    const QString error = yEncDecodeText(text, destFile, hooks, outcome.file);
    if (!error.isEmpty()) {
        outcome.message = error;
        logYencFailure(error, hooks);
        return outcome;
    }
    outcome.ok = true;
    outcome.name = outcome.file.name;
    return outcome;
}

DecodeOutcome decodeArticleToFile(QByteArrayView text, const QString &destFile, const DecodeHooks &hooks,
                                  QByteArray *scratch)
{
    if (!yEncCheckText(text, hooks)) {
        DecodeOutcome outcome = decodeText(asView(text), hooks);
        if (outcome.ok)
            writeTextResult(outcome, destFile, hooks);
        return outcome;
    }
    DecodeOutcome outcome;
    outcome.encoding = Encoding::Yenc;
    const QString error =
        yEncDecodeToFile(text, destFile, hooks, &outcome.name, scratch, &outcome.writeFailed);
    if (!error.isEmpty()) {
        outcome.message = error;
        logYencFailure(error, hooks);
        return outcome;
    }
    outcome.ok = true;
    outcome.file.name = outcome.name;
    return outcome;
}

void placeDecodedOutcome(DecodeOutcome &outcome, const QString &destFile, const DecodeHooks &hooks)
{
    if (outcome.encoding != Encoding::Yenc) {
        writeTextResult(outcome, destFile, hooks);
        outcome.ok = !outcome.writeFailed;
        return;
    }
    if (const QString e = writeDecodedFile(destFile, outcome.file); !e.isEmpty()) {
        outcome.ok = false;
        outcome.writeFailed = true;
        outcome.message = QStringLiteral("yEnc decoder Error:") + e;
        logYencFailure(outcome.message, hooks);
    }
}

bool decodeFile(const QString &WorkFile, const QString &DestFile, const DecodeHooks &hooks,
                DecodeOutcome *outcome)
{
    const WorkFileText work = readWorkFile(WorkFile);
    DecodeOutcome result;
    if (work.missing || !work.error.isEmpty()) {
        if (!work.error.isEmpty())
            hooks.write(QStringLiteral("yEncCheck Error: ") + work.error, true);
        hooks.write(QStringLiteral("decode err (UULoadFile) ") + numText(uud::LoadUnreadable), true);
    } else {
        result = decodeArticleToFile(work.bytes, DestFile, hooks);
    }
    const bool ok = result.ok;
    if (outcome)
        *outcome = std::move(result);
    return ok;
}

} // namespace kestrel
