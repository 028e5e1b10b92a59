#include "scan/dupe_paths.h"

#include "base/text_util.h"

#include "base/atomic_file.h"
#include "base/context.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace kestrel {

namespace {

QByteArray normalised(QByteArrayView folder)
{
    QByteArray f = trimSpaces(folder).toByteArray();
    if (!f.endsWith('/'))
        f.append('/');
    return f;
}

} // namespace

DupePaths::DupePaths(Context &ctx, QObject *parent) : QObject(parent), m_ctx(ctx) {}

void DupePaths::loadDupePaths()
{
    QFile f(m_ctx.state.file(QStringLiteral("DUPEPATH.TXT")));
    if (f.open(QIODevice::ReadOnly)) {
        const QByteArray all = f.readAll();
        forEachLine(all, [this](QByteArrayView line) {
            if (!line.isEmpty())
                m_entries.append(normalised(line));
        });
    }
    m_names.assign(size_t(m_entries.size()), std::nullopt);
    Q_EMIT changed();
}

SaveResult DupePaths::saveDupePaths() const
{
    QByteArray out;
    for (const QByteArray &e : m_entries)
        out += e + "\r\n";
    return writeFileAtomic(m_ctx.state.file(QStringLiteral("DUPEPATH.TXT")), out);
}

void DupePaths::addDupeFolder(const QString &folder)
{
    const QByteArray f = normalised(QFile::encodeName(folder));
    const bool known = std::any_of(m_entries.cbegin(), m_entries.cend(),
                                   [&](const QByteArray &e) { return equalsCI(e, f); });
    if (!known) {
        m_entries.append(f);
        m_names.emplace_back(std::nullopt);
        Q_EMIT changed();
    }
    m_ctx.reportSave(saveDupePaths());
}

void DupePaths::addSubfolders(const QString &folder)
{
    const QDir dir(folder);
    const QStringList subs = dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    QString base = folder;
    if (!base.endsWith(QLatin1Char('/')))
        base += QLatin1Char('/');
    for (const QString &sub : subs)
        addDupeFolder(base + sub + QLatin1Char('/'));
}

void DupePaths::removeRows(QList<int> rows)
{
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    bool removed = false;
    for (int r : rows) {
        if (r >= 0 && r < m_entries.size()) {
            m_entries.removeAt(r);
            m_names.erase(m_names.begin() + r);
            removed = true;
        }
    }
    if (removed) {
        Q_EMIT changed();
        m_ctx.reportSave(saveDupePaths());
    }
}

QSet<QByteArray> DupePaths::readNames(const QByteArray &folder) const
{
    const QString path = QFile::decodeName(folder);
    const QFileInfo info(path);
    QSet<QByteArray> names;
    if (!info.isDir() || !info.isReadable()) {
        m_ctx.writeLog(QStringLiteral("Duplicate folder cannot be read, no duplicates found in it: ") + path,
                       true);
        return names;
    }
    // Hidden files count: the file-by-file test this replaces found them too.
    QDirIterator it(path, QDir::Files | QDir::Hidden);
    while (it.hasNext()) {
        it.next();
        names.insert(upperAscii(QFile::encodeName(it.fileName())));
    }
    return names;
}

const QSet<QByteArray> &DupePaths::namesOf(qsizetype row)
{
    std::optional<QSet<QByteArray>> &names = m_names[size_t(row)];
    if (!names)
        names = readNames(m_entries[row]);
    return *names;
}

bool DupePaths::containsFile(QByteArrayView fileName)
{
    // A name that could leave the folder is never looked up.
    if (fileName.isEmpty() || fileName.contains('/') || fileName == ".." || fileName == ".")
        return false;
    const QByteArray folded = upperAscii(fileName);
    for (qsizetype row = 0; row < m_entries.size(); ++row) {
        if (namesOf(row).contains(folded))
            return true;
    }
    return false;
}

void DupePaths::foldersMayHaveChanged()
{
    for (std::optional<QSet<QByteArray>> &names : m_names)
        names.reset();
}

void DupePaths::noteStoredFile(const QString &path)
{
    const QFileInfo info(path);
    const QString folder = QDir::cleanPath(info.path());
    const QByteArray folded = upperAscii(QFile::encodeName(info.fileName()));
    for (qsizetype row = 0; row < m_entries.size(); ++row) {
        std::optional<QSet<QByteArray>> &names = m_names[size_t(row)];
        if (names && QDir::cleanPath(QFile::decodeName(m_entries[row])) == folder)
            names->insert(folded);
    }
}

QStringList DupePaths::displayEntries() const
{
    QStringList out;
    for (const QByteArray &e : m_entries)
        out.append(QFile::decodeName(e));
    return out;
}

} // namespace kestrel
