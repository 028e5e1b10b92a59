#pragma once

#include <QByteArray>
#include <QDateTime>

namespace kestrel {

// A complete article as the download connection received it.
struct CapturedArticle {
    QByteArray articleBuffer; // status line, (headers,) body and the "." line, still dot-stuffed
    QByteArray fileName;      // the pending entry's file name
    QByteArray group;         // the newsgroup it was fetched from
    qint32 bytes = 0;         // bytes received for it
    QDateTime downloadStart;  // when the transfer started (the group answer, or the pick)
};

// What became of an article handed to the sink.
enum class SinkResult {
    // Filed, or failed for good (damaged data, a name not to save): the run goes on.
    Done,
    // The article was fine but could not be stored (a full or failing disk): nothing
    // was recorded, the article goes back to the head of the list and the run ends
    // on an error, to be tried again later.
    NotStored,
};

// Where finished articles go: the capture and decode pipeline. articleRetrieved
// reports, decodes and files the article and then returns; it must not start the
// next download itself. On Done the download session clears ArticleInHand, sets
// DownloadBusy to 0 and DownloadState to 999 and calls downloadNext.
class ArticleSink {
public:
    virtual ~ArticleSink() = default;
    virtual SinkResult articleRetrieved(const CapturedArticle &article) = 0;
};

} // namespace kestrel
