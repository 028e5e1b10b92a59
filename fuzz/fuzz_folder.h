#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QString>

#include <cstdlib>

namespace kestrel::fuzz {

inline void require(bool ok)
{
    if (!ok)
        std::abort();
}

// A program folder of this fuzz process, in memory when /dev/shm is there: the
// targets that load files from the program folder read their input from it.
inline const QString &programFolder()
{
    static const QString folder = [] {
        const QString base =
            QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
        const QString path =
            base + QStringLiteral("/kestrel_fuzz_%1").arg(QCoreApplication::applicationPid());
        QDir().mkpath(path);
        return path;
    }();
    return folder;
}

inline QString programFile(const QString &name)
{
    return programFolder() + QLatin1Char('/') + name;
}

inline void writeProgramFile(const QString &name, const QByteArray &bytes)
{
    QFile out(programFile(name));
    require(out.open(QIODevice::WriteOnly | QIODevice::Truncate) && out.write(bytes) == bytes.size());
}

inline QByteArray readProgramFile(const QString &name)
{
    QFile in(programFile(name));
    return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
}

} // namespace kestrel::fuzz
