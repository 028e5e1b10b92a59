#include "scan/dupe_paths.h"

#include "base/text_util.h"

#include "base/atomic_file.h"
#include "base/context.h"

#include <QDir>
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
        Q_EMIT changed();
    }
    m_ctx.reportSave(saveDupePaths());
}

void DupePaths::addSubfolders(const QString &folder)
{
    const QDir dir(folder);
    const QStringList subs =
        dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name);
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
            removed = true;
        }
    }
    if (removed) {
        Q_EMIT changed();
        m_ctx.reportSave(saveDupePaths());
    }
}

bool DupePaths::containsFile(QByteArrayView fileName) const
{
    // A name that could leave the folder is never looked up.
    if (fileName.isEmpty() || fileName.contains('/') || fileName == ".." || fileName == ".")
        return false;
    for (const QByteArray &folder : m_entries) {
        QByteArray path = folder;
        path.append(fileName);
        const QFileInfo info(QFile::decodeName(path));
        if (info.isFile())
            return true;
    }
    return false;
}

QStringList DupePaths::displayEntries() const
{
    QStringList out;
    for (const QByteArray &e : m_entries)
        out.append(QFile::decodeName(e));
    return out;
}

} // namespace kestrel
