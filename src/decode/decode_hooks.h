#pragma once

#include <QString>

#include <functional>

namespace kestrel {

// What a decoder tells the rest of the program while it works. Both may be empty.
struct DecodeHooks {
    // A message for the operations log (toLog true) or only the status line (false).
    std::function<void(const QString &message, bool toLog)> log;
    // Called once with index 0 before a long decode starts (total is the maximum of the
    // progress display) and then after every large block. The download session uses it
    // to keep its inactivity watchdog quiet while a big article is decoded.
    std::function<void(qint64 index, qint64 total)> progress;

    void write(const QString &message, bool toLog) const
    {
        if (log)
            log(message, toLog);
    }
    void report(qint64 index, qint64 total) const
    {
        if (progress)
            progress(index, total);
    }
};

} // namespace kestrel
