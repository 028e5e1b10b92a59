#include "decode/download_folders.h"

#include "decode/file_name.h"

#include "base/number_text.h"
#include "base/settings_store.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace kestrel {

QString downloadFolder(const SettingsStore &settings)
{
    QString folder = settings.text(u"lblDownloadPath");
    if (folder.isEmpty())
        return folder;
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    if (!folder.endsWith(QLatin1Char('/')))
        folder.append(QLatin1Char('/'));
    return folder;
}

QByteArray shortFolderName(const QByteArray &group)
{
    static const char *const prefixes[] = {"alt.binaries.pictures.", "alt.binaries.", "alt.sex."};
    QByteArray name = group;
    for (const char *prefix : prefixes) {
        if (name.startsWith(prefix))
            name.remove(0, qsizetype(qstrlen(prefix)));
    }
    return name;
}

QByteArray groupSubfolderName(const QByteArray &group, bool makeSubDirs, bool shortNames)
{
    if (!makeSubDirs)
        return {};
    return shortNames ? shortFolderName(group) : group;
}

QString safePathComponent(const QByteArray &name)
{
    return displayText(sanitizeFileName(name));
}

bool isInsideFolder(const QString &folder, const QString &path)
{
    const QString base = QDir::cleanPath(folder);
    const QString target = QDir::cleanPath(path);
    if (base.isEmpty() || target.size() <= base.size())
        return false;
    const QString prefix = base.endsWith(QLatin1Char('/')) ? base : base + QLatin1Char('/');
    return target.startsWith(prefix);
}

void makeDownloadSubfolder(const QString &root, const QString &name)
{
    if (name.isEmpty())
        return;
    QDir(root).mkdir(name);
}

QString DownloadPaths::stem() const
{
    return name.size() > 3 ? name.chopped(3) : name + QLatin1Char('.');
}

QString DownloadPaths::folder() const
{
    return sub.isEmpty() ? root : root + sub + QLatin1Char('/');
}

} // namespace kestrel

namespace kestrel {

namespace {

// Extensions longer than this are taken for part of the name.
constexpr qsizetype MaxExtensionLength = 16;

qsizetype bytesOnDisk(const QString &name)
{
    return QFile::encodeName(name).size();
}

} // namespace

QString fitFileName(const QString &name, int number)
{
    if (number == 0 && bytesOnDisk(name) <= MaxFileNameBytes)
        return name;
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString extension = dot > 0 && name.size() - dot <= MaxExtensionLength ? name.mid(dot) : QString();
    const QString mark = number > 0 ? QLatin1Char('~') + QString::number(number) : QString();
    QString stem = name.left(name.size() - extension.size());
    const qsizetype room = MaxFileNameBytes - bytesOnDisk(mark + extension);
    // A character takes at most four bytes on disk: cut roughly first, then exactly,
    // never leaving half of a surrogate pair.
    if (stem.size() > room)
        stem.truncate(room);
    while (!stem.isEmpty() && (bytesOnDisk(stem) > room || stem.back().isHighSurrogate()))
        stem.chop(1);
    return stem + mark + extension;
}

QString storedFileName(const QString &folder, const QString &name)
{
    QString candidate = fitFileName(name);
    for (int number = 1; candidate != name && QFileInfo::exists(folder + candidate); ++number)
        candidate = fitFileName(name, number);
    return candidate;
}

} // namespace kestrel
