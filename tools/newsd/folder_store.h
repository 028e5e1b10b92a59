#pragma once

#include "article_store.h"

#include <QString>

#include <map>
#include <vector>

namespace kestrel::newsd {

// Groups and articles from a folder: <folder>/<group.name>/<number>, each file a whole
// article with CR LF or LF line ends (LF is sent as CR LF). Files whose names are not
// all digits are ignored. The folder is listed when the store is made and on rescan();
// the articles themselves are read when asked for.
class FolderStore : public ArticleStore {
public:
    explicit FolderStore(QString folder);

    void rescan();
    QString folder() const { return m_folder; }

    // Writes one article file, making the group folder when needed (for tests and tools).
    static bool writeArticle(const QString &folder, QByteArrayView group, qint64 number,
                             QByteArrayView article);

    QList<GroupInfo> groups() const override;
    bool has(QByteArrayView group, qint64 number) const override;
    std::optional<qint64> nextAfter(QByteArrayView group, qint64 after) const override;
    QByteArray article(QByteArrayView group, qint64 number) const override;

private:
    const std::vector<qint64> *numbers(QByteArrayView group) const;

    QString m_folder;
    std::map<QByteArray, std::vector<qint64>> m_groups; // sorted article numbers per group
};

// LF line ends become CR LF (CR LF stays); the text ends with a line end.
QByteArray withCrLf(QByteArrayView text);

} // namespace kestrel::newsd
