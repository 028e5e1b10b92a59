#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <optional>

namespace kestrel::newsd {

struct GroupInfo {
    QByteArray name;
    qint64 first = 1; // an empty group has last = first - 1
    qint64 last = 0;
    qint64 count = 0;
};

// Where the server takes its groups and articles from. Articles are whole texts:
// header lines, an empty line, the body, every line ended by CR LF, not dot-stuffed.
class ArticleStore {
public:
    virtual ~ArticleStore() = default;

    virtual QList<GroupInfo> groups() const = 0;
    virtual std::optional<GroupInfo> group(QByteArrayView name) const;
    virtual bool has(QByteArrayView group, qint64 number) const = 0;
    // The lowest existing article number above `after`, if any.
    virtual std::optional<qint64> nextAfter(QByteArrayView group, qint64 after) const;
    // Empty when the article does not exist.
    virtual QByteArray article(QByteArrayView group, qint64 number) const = 0;
    // The header lines, each with its CR LF, without the empty line.
    virtual QByteArray head(QByteArrayView group, qint64 number) const;
    virtual QByteArray body(QByteArrayView group, qint64 number) const;
    // The overview fields that follow the article number, TAB-separated: subject, from,
    // date, message-id, references, bytes, lines, then the Xref field when there is one.
    virtual QByteArray overviewFields(QByteArrayView group, qint64 number) const;
};

// The value of the first header line called `name` (case-insensitive), without the
// name, the colon and the blanks after it; empty when there is none.
QByteArray headerValue(QByteArrayView head, QByteArrayView name);

// Overview fields from a whole article (see ArticleStore::overviewFields).
QByteArray overviewFieldsOf(QByteArrayView article);

} // namespace kestrel::newsd
