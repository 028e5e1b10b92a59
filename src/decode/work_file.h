#pragma once

#include <QByteArray>
#include <QString>

namespace kestrel {

struct WorkFileText {
    QByteArray bytes;
    QString error; // empty unless an existing file could not be read
    bool missing = false;
};

// Reads up to `limit` bytes (all when negative) of a work file. A missing file reads as
// empty, the way an article that never arrived has no text.
WorkFileText readWorkFile(const QString &path, qint64 limit = -1);

} // namespace kestrel
