#include "base/atomic_file.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace kestrel {

SaveResult SaveResult::failed(const QString &path, const QString &reason)
{
    SaveResult result;
    result.m_failed = true;
    result.m_path = path;
    result.m_reason = reason.isEmpty() ? QStringLiteral("unknown error") : reason;
    return result;
}

QString SaveResult::message() const
{
    return QFileInfo(m_path).fileName() + QStringLiteral(" could not be saved: ") + m_reason;
}

SaveResult writeFileAtomic(const QString &path, const QByteArray &data, bool ownerOnly)
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return SaveResult::failed(path, f.errorString());
    if (ownerOnly)
        f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    // Bytes still in Qt's buffer are written by commit(), which has been seen to
    // report success although that write failed: the empty temporary file then
    // replaced the real one. Flushing here makes every write failure visible while the
    // old file can still be kept.
    if (f.write(data) != data.size() || !f.flush() || f.error() != QFileDevice::NoError) {
        const QString reason = f.errorString();
        f.cancelWriting();
        return SaveResult::failed(path, reason);
    }
    if (!f.commit())
        return SaveResult::failed(path, f.errorString());
    return SaveResult::done();
}

SaveResult removeSavedFile(const QString &path)
{
    QFile f(path);
    if (!f.exists() || f.remove())
        return SaveResult::done();
    return SaveResult::failed(path, f.errorString());
}

SaveResult appendToFile(const QString &path, const QByteArray &data)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Append))
        return SaveResult::failed(path, f.errorString());
    if (f.write(data) != data.size() || !f.flush() || f.error() != QFileDevice::NoError)
        return SaveResult::failed(path, f.errorString());
    return SaveResult::done();
}

} // namespace kestrel
