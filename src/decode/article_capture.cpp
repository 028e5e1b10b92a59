#include "decode/article_capture.h"

#include "decode/download_folders.h"

#include "base/context.h"
#include "base/format_speed.h"
#include "base/number_text.h"

namespace kestrel {

DecodeResult articleRetrieved(DecodePipeline &pipeline, const RetrievedArticle &article)
{
    Context &ctx = pipeline.context();
    const QString speed = article.downloadEnd.isValid() && article.downloadStart.isValid()
                              ? formatSpeed(article.downloadStart.msecsTo(article.downloadEnd), article.bytes)
                              : formatSpeed(ctx.clock, article.downloadStart, article.bytes);
    ctx.writeLog(QStringLiteral("Article Retrieved: ") + displayText(article.fileName) + QLatin1Char(' ') +
                     formatKb(article.bytes) + QStringLiteral("kb [") + speed + QStringLiteral(" Kbps]"),
                 true);

    const QByteArray subFolder = groupSubfolderName(article.group, ctx.settings.checked(u"chkMakeSubDirs"),
                                                    ctx.settings.checked(u"chkShortFolderNames"));
    QByteArray headerBlock;
    if (article.headersRequested && ctx.settings.checked(u"chkSaveHeaders"))
        headerBlock = articleHeaderPart(article.buffer).toByteArray();

    return pipeline.decodeArticle(article.buffer, subFolder, article.fileName, headerBlock,
                                  article.headersRequested ? HeaderLines::Present : HeaderLines::Absent,
                                  article.prepared);
}

} // namespace kestrel
