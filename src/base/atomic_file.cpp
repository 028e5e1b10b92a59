#include "base/atomic_file.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>

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

namespace {

QString failureReason(const QFileDevice &f, int error)
{
    return error != 0 ? QString::fromLocal8Bit(std::strerror(error)) : f.errorString();
}

} // namespace

QString writeAllBytes(QFileDevice &f, const char *data, qint64 size)
{
    errno = 0;
    if (f.write(data, size) == size)
        return {};
    return failureReason(f, errno);
}

QString flushBytes(QFileDevice &f)
{
    errno = 0;
    if (f.flush() && f.error() == QFileDevice::NoError)
        return {};
    return failureReason(f, errno);
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
    QString reason = writeAllBytes(f, data.constData(), data.size());
    if (reason.isEmpty())
        reason = flushBytes(f);
    if (!reason.isEmpty()) {
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
    if (QString reason = writeAllBytes(f, data.constData(), data.size()); !reason.isEmpty())
        return SaveResult::failed(path, reason);
    if (QString reason = flushBytes(f); !reason.isEmpty())
        return SaveResult::failed(path, reason);
    return SaveResult::done();
}

} // namespace kestrel
