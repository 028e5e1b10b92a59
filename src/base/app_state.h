#pragma once

#include "base/pending_entry.h"

#include <QString>

namespace kestrel {

// Where the download run stands. The numbers are the ones the run has always logged
// and compared.
enum class DownloadState : qint32 {
    Idle = 0,          // no download run active
    Started = 1,       // an article was taken: connecting, selecting its group or asking for it
    GroupSelected = 5, // the server selected the article's group; the article was asked for
    ArticleDone = 999, // the last article was handed over or refused; the connection is ready
};

// Program-wide run state shared by the subsystems. One instance per engine; nothing
// here is persisted.
struct AppState {
    QString appPath; // program folder, no trailing separator
    QString csvPath; // CSV index folder, always ending in a separator
    qint32 pendingCount = 0;
    bool scanning = false;
    DownloadState downloadState = DownloadState::Idle;
    bool downloadAbortRequested = false;
    bool articleInHand = false;
    PendingEntry currentArticle;
    bool rescanArmed = false;
    qint32 rescanCountdown = 0;

    // AppPath + separator + name.
    QString file(const QString &name) const { return appPath + QLatin1Char('/') + name; }
};

} // namespace kestrel
