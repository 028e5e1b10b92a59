#pragma once

#include <QByteArray>
#include <QString>

class QFileDevice;

namespace kestrel {

// What a save did. A failure names the file and the reason, so the caller can log it
// and decide what follows; a result nobody looked at is a compile error.
class [[nodiscard]] SaveResult {
public:
    static SaveResult done() { return {}; }
    static SaveResult failed(const QString &path, const QString &reason);

    bool ok() const { return !m_failed; }
    explicit operator bool() const { return ok(); }
    const QString &path() const { return m_path; }
    const QString &reason() const { return m_reason; }
    // "<file> could not be saved: <reason>", for the log.
    QString message() const;

private:
    bool m_failed = false;
    QString m_path;
    QString m_reason;
};

// Writes all `size` bytes to `f`. Returns an empty string, or why not everything was
// written: for a write the disk cut short (full, or past a size limit) Qt keeps no
// reason, so the system's is given.
QString writeAllBytes(QFileDevice &f, const char *data, qint64 size);
// Flushes Qt's buffer of `f` to the system: an empty string, or why that failed (the
// same way).
QString flushBytes(QFileDevice &f);

// Replace a file whole: write a temporary file beside it, flush, rename over the old
// one. A crash or a full disk leaves the old file, never half a new one.
// On any failure the old file stays as it was.
SaveResult writeFileAtomic(const QString &path, const QByteArray &data, bool ownerOnly = false);

// Removes a file whose list became empty; a file that is already gone is fine.
SaveResult removeSavedFile(const QString &path);

// Append bytes to a file, creating it when missing. A failure may leave part of the
// bytes appended; the result says the append did not happen whole.
SaveResult appendToFile(const QString &path, const QByteArray &data);

} // namespace kestrel
