#include "article_store.h"

namespace kestrel::newsd {

namespace {

// Where the body starts: after the first empty line (or the whole text is header).
qsizetype bodyStart(QByteArrayView article)
{
    if (article.startsWith("\r\n"))
        return 2;
    const qsizetype gap = article.indexOf("\r\n\r\n");
    return gap < 0 ? article.size() : gap + 4;
}

// Overview fields must not hold TAB, CR or LF.
QByteArray overviewSafe(QByteArray value)
{
    for (char &c : value) {
        if (c == '\t' || c == '\r' || c == '\n')
            c = ' ';
    }
    return value;
}

} // namespace

std::optional<GroupInfo> ArticleStore::group(QByteArrayView name) const
{
    for (const GroupInfo &g : groups()) {
        if (g.name == name)
            return g;
    }
    return std::nullopt;
}

std::optional<qint64> ArticleStore::nextAfter(QByteArrayView groupName, qint64 after) const
{
    const std::optional<GroupInfo> g = group(groupName);
    if (!g)
        return std::nullopt;
    for (qint64 n = std::max(after + 1, g->first); n <= g->last; ++n) {
        if (has(groupName, n))
            return n;
    }
    return std::nullopt;
}

QByteArray ArticleStore::head(QByteArrayView group, qint64 number) const
{
    const QByteArray text = article(group, number);
    const qsizetype start = bodyStart(text);
    return text.left(start == text.size() ? start : start - 2);
}

QByteArray ArticleStore::body(QByteArrayView group, qint64 number) const
{
    const QByteArray text = article(group, number);
    return text.mid(bodyStart(text));
}

QByteArray ArticleStore::overviewFields(QByteArrayView group, qint64 number) const
{
    return overviewFieldsOf(article(group, number));
}

QByteArray headerValue(QByteArrayView head, QByteArrayView name)
{
    qsizetype pos = 0;
    while (pos < head.size()) {
        qsizetype end = head.indexOf('\n', pos);
        if (end < 0)
            end = head.size();
        QByteArrayView line = head.sliced(pos, end - pos);
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.isEmpty())
            break;
        if (line.size() > name.size() && line[name.size()] == ':' &&
            line.first(name.size()).compare(name, Qt::CaseInsensitive) == 0)
            return line.sliced(name.size() + 1).trimmed().toByteArray();
        pos = end + 1;
    }
    return {};
}

QByteArray overviewFieldsOf(QByteArrayView article)
{
    const qsizetype start = bodyStart(article);
    const QByteArrayView head = article.first(start);
    const QByteArrayView body = article.sliced(start);
    const QByteArray xref = headerValue(head, "Xref");
    QByteArray out;
    out += overviewSafe(headerValue(head, "Subject")) + '\t';
    out += overviewSafe(headerValue(head, "From")) + '\t';
    out += overviewSafe(headerValue(head, "Date")) + '\t';
    out += overviewSafe(headerValue(head, "Message-ID")) + '\t';
    out += overviewSafe(headerValue(head, "References")) + '\t';
    out += QByteArray::number(article.size()) + '\t';
    out += QByteArray::number(body.count('\n'));
    if (!xref.isEmpty())
        out += "\tXref: " + overviewSafe(xref);
    return out;
}

} // namespace kestrel::newsd
