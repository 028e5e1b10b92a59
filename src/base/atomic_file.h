#pragma once

#include <QByteArray>
#include <QString>

namespace kestrel {

// Replace a file whole: write a temporary file beside it, flush, rename over the old
// one. A crash or a full disk leaves the old file, never half a new one.
// Returns false (and leaves the old file) when anything fails.
bool writeFileAtomic(const QString &path, const QByteArray &data, bool ownerOnly = false);

// Append bytes to a file, creating it when missing. Returns false on failure.
bool appendToFile(const QString &path, const QByteArray &data);

} // namespace kestrel
