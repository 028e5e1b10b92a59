#pragma once

#include "base/pending_entry.h"

#include <QString>

namespace kestrel {

// Program-wide run state shared by the subsystems. One instance per engine; nothing
// here is persisted.
struct AppState {
    QString appPath; // program folder, no trailing separator
    QString csvPath; // CSV index folder, always ending in a separator
    qint32 pendingCount = 0;
    bool scanning = false;
    qint32 downloadState = 0; // 0: no download run active
    bool downloadAbortRequested = false;
    bool articleInHand = false;
    PendingEntry currentArticle;
    bool rescanArmed = false;
    qint32 rescanCountdown = 0;

    // AppPath + separator + name.
    QString file(const QString &name) const { return appPath + QLatin1Char('/') + name; }
};

} // namespace kestrel
