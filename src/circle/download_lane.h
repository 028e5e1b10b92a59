#pragma once

#include "base/pending_entry.h"

#include <QByteArray>
#include <QDateTime>

#include <deque>

namespace kestrel {

class SessionConnection;

// An entry taken off the pending list for one download connection.
struct InFlight {
    PendingEntry entry;
    qint64 order = 0;       // when it was taken in this run: the list order among all connections
    bool requested = false; // its ARTICLE or BODY went out
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
    qint64 articleTag = 0;
    QByteArray articleFileName;
    qint32 articleBytes = 0;
    QDateTime downloadStart;
    qint64 lastDisplayMs = -1;

    bool headRequested() const { return !window.empty() && window.front().requested; }
    QByteArray articleKey() const { return articleGroup + '/' + QByteArray::number(articleTag); }
};

} // namespace kestrel
