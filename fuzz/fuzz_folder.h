#pragma once

#include "fuzz_require.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QString>

#include <cstdlib>

namespace kestrel::fuzz {

// A program folder of this fuzz process, in memory when /dev/shm is there: the
// targets that load files from the program folder read their input from it. It is
// removed when the process ends normally.
inline const QString &programFolder()
{
    struct Folder {
        QString path;
        Folder()
        {
            const QString base =
                QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
            path = base + QStringLiteral("/kestrel_fuzz_%1").arg(QCoreApplication::applicationPid());
            QDir().mkpath(path);
        }
        ~Folder() { QDir(path).removeRecursively(); }
    };
    static const Folder folder;
    return folder.path;
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
