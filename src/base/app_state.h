#pragma once

#include "base/pending_entry.h"

#include <QString>

namespace kestrel {

// Program-wide run state shared by the subsystems. One instance per engine; nothing
// here is persisted.
struct AppState {
    QString AppPath; // program folder, no trailing separator
    QString CsvPath; // CSV index folder, always ending in a separator
    qint32 PendingCount = 0;
    bool Scanning = false;
    qint32 DownloadState = 0; // 0: no download run active
    bool DownloadAbortRequested = false;
    bool ArticleInHand = false;
    PendingEntry CurrentArticle;
    bool RescanArmed = false;
    qint32 RescanCountdown = 0;

    // AppPath + separator + name.
    QString file(const QString &name) const { return AppPath + QLatin1Char('/') + name; }
};

} // namespace kestrel
