#include "folder_store.h"

#include <QDir>
#include <QFile>

#include <algorithm>

namespace kestrel::newsd {

namespace {

bool allDigits(const QString &name)
{
    // A leading zero would make two names for one number.
    return !name.isEmpty() && name.size() <= 18 && (name.size() == 1 || name[0] != QLatin1Char('0')) &&
           std::all_of(name.begin(), name.end(), [](QChar c) { return c.isDigit(); });
}

} // namespace

QByteArray withCrLf(QByteArrayView text)
{
    QByteArray out;
    out.reserve(text.size() + text.size() / 32 + 2);
    char previous = 0;
    for (char c : text) {
        if (c == '\n' && previous != '\r')
            out += '\r';
        out += c;
        previous = c;
    }
    if (!out.isEmpty() && !out.endsWith("\r\n"))
        out += out.endsWith('\r') ? "\n" : "\r\n";
    return out;
}

FolderStore::FolderStore(QString folder) : m_folder(std::move(folder))
{
    rescan();
}

void FolderStore::rescan()
{
    m_groups.clear();
    const QDir root(m_folder);
    for (const QString &groupName : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        std::vector<qint64> numbers;
        for (const QString &file : QDir(root.filePath(groupName)).entryList(QDir::Files)) {
            if (allDigits(file))
                numbers.push_back(file.toLongLong());
        }
        std::sort(numbers.begin(), numbers.end());
        m_groups[groupName.toUtf8()] = std::move(numbers);
    }
}

bool FolderStore::writeArticle(const QString &folder, QByteArrayView group, qint64 number,
                               QByteArrayView article)
{
    const QString dir = folder + QLatin1Char('/') + QString::fromUtf8(group);
    if (!QDir().mkpath(dir))
        return false;
    QFile file(dir + QLatin1Char('/') + QString::number(number));
    return file.open(QIODevice::WriteOnly) && file.write(article.data(), article.size()) == article.size();
}

const std::vector<qint64> *FolderStore::numbers(QByteArrayView group) const
{
    const auto it = m_groups.find(group.toByteArray());
    return it == m_groups.end() ? nullptr : &it->second;
}

QList<GroupInfo> FolderStore::groups() const
{
    QList<GroupInfo> out;
    for (const auto &[name, numbers] : m_groups) {
        GroupInfo g;
        g.name = name;
        g.count = qint64(numbers.size());
        g.first = numbers.empty() ? 1 : numbers.front();
        g.last = numbers.empty() ? 0 : numbers.back();
        out.append(g);
    }
    return out;
}

bool FolderStore::has(QByteArrayView group, qint64 number) const
{
    const std::vector<qint64> *list = numbers(group);
    return list && std::binary_search(list->begin(), list->end(), number);
}

std::optional<qint64> FolderStore::nextAfter(QByteArrayView group, qint64 after) const
{
    const std::vector<qint64> *list = numbers(group);
    if (!list)
        return std::nullopt;
    const auto it = std::upper_bound(list->begin(), list->end(), after);
    if (it == list->end())
        return std::nullopt;
    return *it;
}

QByteArray FolderStore::article(QByteArrayView group, qint64 number) const
{
    if (!has(group, number))
        return {};
    QFile file(m_folder + QLatin1Char('/') + QString::fromUtf8(group) + QLatin1Char('/') +
               QString::number(number));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return withCrLf(file.readAll());
}

} // namespace kestrel::newsd
