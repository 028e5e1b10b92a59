#pragma once

#include "base/pending_entry.h"

#include <QByteArray>
#include <QDateTime>

#include <deque>

namespace kestrel {

class SessionConnection;

// An entry taken off the pending list for one download connection. A picture posted in
// several articles is taken as one item per part, in part order, all with the same
// entry and order.
struct InFlight {
    PendingEntry entry;
    qint64 order = 0;       // when it was taken in this run: the list order among all connections
    bool requested = false; // its ARTICLE or BODY went out
    int part = -1;          // the index in entry.parts.seen of a part; -1 for a single article
    bool discard = false;   // its picture was dropped: the answer is read and thrown away

    bool isPart() const { return part >= 0; }
    bool lastPart() const { return part + 1 == entry.parts.total; }
    const PendingPart &pendingPart() const { return entry.parts.seen[part]; }
    // The article number asked for.
    qint64 tag() const { return (isPart() ? pendingPart().tag : entry.tag).value().value_or(0); }
};

// One download connection of a run: its selected group, the requests on their way (the
// window, oldest first; replies come back in that order) and the article whose reply
// comes next, which its progress and log lines are about.
struct DownloadLane {
    enum class Awaiting { Nothing, Group };

    SessionConnection *connection = nullptr;
    int index = 0;      // 0 for the first connection of the run
    bool inRun = false; // opened for the run under way and not refused
    std::deque<InFlight> window;
    QByteArray group; // the group last selected on this connection
    Awaiting awaiting = Awaiting::Nothing;
    // Replies still due to requests a mid-run login demand made void; read and ignored.
    int voidReplies = 0;

    // The article in hand on this connection: the head of the window.
    QByteArray articleGroup;
    qint64 articleTag = 0; // of the entry: a picture's first part stands for all its parts
    QByteArray articleFileName;
    qint32 articleBytes = 0;
    QDateTime downloadStart;
    qint64 lastDisplayMs = -1;

    bool headRequested() const { return !window.empty() && window.front().requested; }
    QByteArray articleKey() const { return articleGroup + '/' + QByteArray::number(articleTag); }
};

} // namespace kestrel
