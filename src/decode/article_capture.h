#pragma once

#include "decode/decode_pipeline.h"
#include "decode/prepared_article.h"

#include <QByteArray>
#include <QDateTime>

namespace kestrel {

// What the download connection hands over once an article is complete.
struct RetrievedArticle {
    QByteArray
        buffer; // everything received: status line, [headers, blank line,] body, end line; still dot-stuffed
    QByteArray fileName;           // the pending entry's file name
    QByteArray group;              // the newsgroup it came from
    qint64 bytes = 0;              // bytes received for it
    QDateTime downloadStart;       // when its transfer started
    bool headersRequested = false; // ARTICLE was sent (true) or BODY (false)
    // When its transfer ended; invalid for now. The speed is measured up to here.
    QDateTime downloadEnd;
    // The same article decoded already (on the decode worker); null to decode it here.
    const PreparedArticle *prepared = nullptr;
};

// Reports the transfer ("Article Retrieved: <name> <size>kb [<speed> Kbps]"), works out
// the group sub-folder (chkMakeSubDirs, chkShortFolderNames) and the header block
// (chkSaveHeaders, only when headers were requested) and runs the decode pipeline.
//
// The caller (the download session) must then end the article itself: clear
// ArticleInHand, set DownloadBusy to 0 and DownloadState to 999, and call
// downloadNext. On DecodeResult::NoDownloadFolder nothing was stored or recorded; the
// caller should put CurrentArticle back on the pending list (requeueArticle) and end
// the run instead of fetching the next article into the same dead end.
//
// ctx.state.currentArticle must hold the article's pending entry (CSV mark, subject).
// The decode runs to its end before this returns; it never enters the event loop.
DecodeResult articleRetrieved(DecodePipeline &pipeline, const RetrievedArticle &article);

} // namespace kestrel
