#include "groups/add_group.h"

#include "base/context.h"
#include "base/number_text.h"
#include "scan/favourites.h"

#include <QDir>
#include <QFile>

namespace kestrel {

namespace {

const QString kPickerFile = QStringLiteral("NEWSGRPS.TXT");

QByteArray nameOfLine(QByteArrayView line)
{
    const QByteArrayView whole = line.trimmed();
    const qsizetype blank = whole.indexOf(' ');
    return (blank < 0 ? whole : whole.first(blank)).trimmed().toByteArray();
}

} // namespace

bool addTypedGroup(FavouritesModel &favourites, const QString &text)
{
    if (text.trimmed().isEmpty())
        return false;
    favourites.addFavouriteGroup(text.toUtf8());
    favourites.saveFavsOrLog();
    return true;
}

bool newsgroupsFileExists(const Context &ctx)
{
    const QStringList entries = QDir(ctx.state.file(QString())).entryList(QDir::Files);
    for (const QString &name : entries)
        if (name.compare(kPickerFile, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

void NewsgroupsPicker::load()
{
    m_names.clear();
    QString path = m_ctx.state.file(kPickerFile);
    const QStringList entries = QDir(m_ctx.state.file(QString())).entryList(QDir::Files);
    for (const QString &name : entries)
        if (name.compare(kPickerFile, Qt::CaseInsensitive) == 0)
            path = m_ctx.state.file(name);
    QFile file(path);
    if (!file.exists()) {
        m_ctx.prompter.message(QStringLiteral("Groups file not found. (will create)"));
        file.open(QIODevice::WriteOnly);
        return;
    }
    if (!file.open(QIODevice::ReadOnly))
        return;
    // Every line counts, the last one too even without a line end.
    const QByteArray text = file.readAll();
    for (const QByteArray &line : text.split('\n')) {
        QByteArray name = nameOfLine(line);
        if (!name.isEmpty())
            m_names.append(std::move(name));
    }
}

int NewsgroupsPicker::searchNext(int current, const QString &text) const
{
    const QByteArray wanted = text.trimmed().toUtf8();
    for (int i = qMax(current + 1, 0); i < m_names.size(); ++i)
        if (m_names[i].contains(wanted))
            return i;
    m_ctx.prompter.message(QStringLiteral("Search string: ") + text + QStringLiteral(" not found!"));
    return -1;
}

void NewsgroupsPicker::addSelections(FavouritesModel &favourites, const QList<int> &selected) const
{
    QList<int> order = selected;
    std::sort(order.begin(), order.end());
    for (int i : order) {
        if (i < 0 || i >= m_names.size())
            continue;
        const QByteArray name = nameOfLine(m_names[i]);
        if (favourites.findRow(name) >= 0)
            continue;
        FavouriteRow row;
        row.name = name;
        favourites.appendRow(row);
    }
    favourites.saveFavsOrLog();
}

} // namespace kestrel
