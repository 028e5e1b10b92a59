#include "decode/image_tester.h"
#include "decode/jpeg_check.h"

#include "base/context.h"
#include "base/number_text.h"

#include <functional>

namespace kestrel {

namespace {
struct Outcome {
    const char *message;
    qint32 verdict;
};

Outcome outcomeOf(int code)
{
    switch (code) {
    case JpegPassed:
        return {"Passed all Tests.", IvtPass};
    case JpegOver300k:
        return {"Warning, File size greater than 300k.", IvtWarning};
    case JpegEmpty:
        return {"Error, Zero-Byte file!", IvtError};
    case JpegNoIdent:
        return {"Error, Bad or missing JPEG ident!", IvtError};
    case JpegNoEoi:
        return {"Warning, No EOI (End of Image) Marker.", IvtBadStructure};
    case JpegNoSof:
        return {"Warning, No SOF (Start of Frame) Marker.", IvtBadStructure};
    case JpegFromGif:
        return {"Warning, Converted from GIF.", IvtWarning};
    }
    return {nullptr, IvtNotTested};
}

qint32 runTest(Context &ctx, const QByteArray &fileName, const std::function<int(QString *error)> &check)
{
    if (!ctx.settings.checked(u"chkEnableIVT"))
        return IvtPass;
    const QByteArray lower = fileName.toLower();
    Outcome outcome{nullptr, IvtPass};
    if (lower.contains(".gif")) {
        outcome.message = "GIF, not tested...";
    } else if (lower.contains(".png")) {
        outcome.message = "PNG, not tested...";
    } else {
        QString error;
        outcome = outcomeOf(check(&error));
        if (!outcome.message) {
            ctx.writeLog(error, true);
            return IvtNotTested;
        }
    }
    ctx.writeLog(QStringLiteral("IVT: ") + displayText(fileName) + QStringLiteral(" -- ") +
                     QLatin1String(outcome.message),
                 true);
    return outcome.verdict;
}
} // namespace

qint32 testPicture(Context &ctx, const QString &path, const QByteArray &fileName)
{
    return runTest(ctx, fileName, [&](QString *error) { return jpegCheck(path, error); });
}

qint32 testPictureBytes(Context &ctx, QByteArrayView picture, const QByteArray &fileName)
{
    return runTest(ctx, fileName, [&](QString *) { return jpegCheckBytes(picture); });
}

qint32 testCheckedPicture(Context &ctx, int jpegCode, const QByteArray &fileName)
{
    return runTest(ctx, fileName, [jpegCode](QString *) { return jpegCode; });
}

} // namespace kestrel
