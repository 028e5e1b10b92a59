#include "temp_program_folder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <stdexcept>

namespace kestrel::test {

TempProgramFolder::TempProgramFolder()
{
    if (!m_dir.isValid())
        throw std::runtime_error("cannot create a temporary folder");
}

void TempProgramFolder::write(const QString &name, const QByteArray &bytes) const
{
    const QString p = file(name);
    QDir().mkpath(QFileInfo(p).absolutePath());
    QFile f(p);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write " + p.toStdString());
}

QByteArray TempProgramFolder::read(const QString &name) const
{
    QFile f(file(name));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

void TempProgramFolder::prepareRun(quint16 port, const QByteArray &favs, const QByteArray &extra,
                                   const QByteArray &host) const
{
    QDir().mkpath(file(QStringLiteral("pics")));
    write(QStringLiteral("KESTREL.INI"),
          "[Options]\nNews_Host=" + host + "\nNews_Port=" + QByteArray::number(port) +
              "\nDownload_Path=" + file(QStringLiteral("pics/")).toUtf8() + "\nchkXOVER=1\n" + extra);
    if (!favs.isEmpty())
        write(QStringLiteral("favs.txt"), favs);
}

bool TempProgramFolder::exists(const QString &name) const
{
    return QFileInfo::exists(file(name));
}

} // namespace kestrel::test
