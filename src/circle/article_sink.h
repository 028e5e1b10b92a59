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
    QDateTime downloadEnd;    // when its last byte was read
    // The pending entry it was fetched for: for a part, its picture's.
    PendingEntry entry;
    // A part of a picture posted in several articles: its number k of partTotal.
    // partTotal is 0 for a single article.
    int partNumber = 0;
    int partTotal = 0;
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
    // Taken for later: the sink reports what became of it through its listener.
    Taken,
    // Nowhere to file pictures: like NotStored the article goes back on the list, and
    // the run is stopped as by the user rather than fetch every other one into the same
    // dead end. Only reported through the listener.
    NoFolder,
};

// Where finished articles go: the capture and decode pipeline. articleRetrieved
// reports, decodes and files the article and then returns; it must not start the
// next download itself. On Done the download session clears ArticleInHand, sets
// DownloadBusy to 0 and DownloadState to 999 and calls downloadNext.
//
// A sink may also take the article and answer later (SinkResult::Taken): it then tells
// its listener the result of each article taken, one at a time and in the order they
// were handed over, from the event loop.
class ArticleSink {
public:
    class Listener {
    public:
        virtual ~Listener() = default;
        // The oldest article taken was filed (Done), kept (NotStored, NoFolder), or was
        // a part whose picture is dropped with it (PictureDropped).
        virtual void articleFiled(SinkResult result) = 0;
        // A large article taken is still being decoded.
        virtual void sinkWorking() = 0;
    };

    virtual ~ArticleSink() = default;
    virtual SinkResult articleRetrieved(const CapturedArticle &article) = 0;
    // The picture will not get its remaining parts in this run (it went back on the
    // list, or was dropped): whatever was made of its parts so far goes, and its parts
    // taken and not yet reported are neither filed nor reported.
    virtual void pictureAbandoned(const PendingEntry &picture) { Q_UNUSED(picture) }
    virtual void setListener(Listener *) {}
    // As many articles are taken as the sink will hold: no more replies are read until
    // it reports one.
    virtual bool full() const { return false; }
    // The articles taken and not yet reported are forgotten (the caller puts them back
    // on the list): none of them is filed or reported any more.
    virtual void dropTaken() {}
};

} // namespace kestrel
