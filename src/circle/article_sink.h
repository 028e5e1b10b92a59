#pragma once

#include "base/pending_entry.h"

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
    // A part of a picture posted in several articles: its number k of partTotal and the
    // picture's pending entry. partTotal is 0 for a single article.
    int partNumber = 0;
    int partTotal = 0;
    PendingEntry picture;
};

// What became of an article handed to the sink.
enum class SinkResult {
    // Filed, or failed for good (damaged data, a name not to save): the run goes on.
    Done,
    // The article was fine but could not be stored (a full or failing disk): nothing
    // was recorded, the article goes back to the head of the list and the run ends
    // on an error, to be tried again later.
    NotStored,
    // A part whose picture is finished with before its last part (damaged, not fitting,
    // or handed back by the sink): the picture's other parts are not wanted.
    PictureDropped,
};

// Where finished articles go: the capture and decode pipeline. articleRetrieved
// reports, decodes and files the article and then returns; it must not start the
// next download itself. On Done the download session clears ArticleInHand, sets
// DownloadBusy to 0 and DownloadState to 999 and calls downloadNext.
class ArticleSink {
public:
    virtual ~ArticleSink() = default;
    virtual SinkResult articleRetrieved(const CapturedArticle &article) = 0;
    // The picture will not get its remaining parts in this run (it went back on the
    // list, or was dropped): whatever was made of its parts so far goes.
    virtual void pictureAbandoned(const PendingEntry &picture) { Q_UNUSED(picture) }
};

} // namespace kestrel
