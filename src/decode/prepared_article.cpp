#include "decode/prepared_article.h"

#include "decode/jpeg_check.h"
#include "decode/unstuff_dots.h"

namespace kestrel {

PreparedArticle prepareArticle(QByteArray article, bool hasHeaders,
                               const std::function<void(qint64 index, qint64 total)> &progress)
{
    PreparedArticle p;
    p.article = std::move(article);
    p.part = locateEncodedPart(p.article, hasHeaders);
    const QByteArrayView text = QByteArrayView(p.article).sliced(p.part.start);
    const QByteArrayView unstuffed = unstuffDots(text, p.unstuffed);
    p.stuffed = unstuffed.data() != text.data();
    if (!p.stuffed)
        p.unstuffed.clear();
    // No file name can hold this, so it cannot be mistaken for part of a message.
    p.destinationToken = QChar(1) + QStringLiteral("destination") + QChar(1);
    DecodeHooks hooks;
    hooks.log = [&p](const QString &message, bool toLog) { p.messages.append({message, toLog}); };
    hooks.progress = progress;
    p.outcome = decodeArticleText(unstuffed, p.destinationToken, hooks);
    if (p.outcome.ok)
        p.pictureCheck = jpegCheckBytes(p.outcome.file.bytes);
    return p;
}

} // namespace kestrel
