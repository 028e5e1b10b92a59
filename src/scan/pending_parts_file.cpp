#include "scan/pending_parts_file.h"

#include <QDateTime>

#include <optional>

namespace kestrel::partsfile {

namespace {

QByteArray encoded(const QByteArray &text)
{
    return text.toPercentEncoding();
}

std::optional<qint64> number(const QByteArray &text)
{
    bool ok = false;
    const qint64 n = text.toLongLong(&ok);
    return ok ? std::optional<qint64>(n) : std::nullopt;
}

bool readPicture(const QList<QByteArray> &f, Record &r)
{
    if (f.size() != 6)
        return false;
    const auto index = number(f[1]);
    const auto total = number(f[2]);
    const auto firstSeen = number(f[3]);
    if (!index || !total || !firstSeen || *index < 0 || *total < 2 || *total > SHRT_MAX)
        return false;
    r.index = *index;
    r.parts.total = qint16(*total);
    r.parts.firstSeen = QDateTime::fromMSecsSinceEpoch(*firstSeen, Qt::UTC).toLocalTime();
    if (!r.parts.firstSeen.isValid())
        return false;
    r.name = QByteArray::fromPercentEncoding(f[4]);
    r.parts.key = QByteArray::fromPercentEncoding(f[5]);
    return !r.name.isEmpty();
}

bool readPart(const QList<QByteArray> &f, Record &r)
{
    if (f.size() != 4)
        return false;
    const auto k = number(f[1]);
    const auto lines = number(f[3]);
    const QByteArray tag = QByteArray::fromPercentEncoding(f[2]);
    if (!k || !lines || !number(tag.trimmed()) || *k < 1 || *k > r.parts.total || *lines < 0 ||
        *lines > INT_MAX)
        return false;
    // In part order, one per number.
    if (!r.parts.seen.isEmpty() && r.parts.seen.back().number >= *k)
        return false;
    r.parts.seen.append(PendingPart{qint16(*k), ListNumber::fromText(tag, 0), qint32(*lines)});
    return true;
}

} // namespace

QByteArray encode(const QList<PendingEntry> &entries)
{
    QByteArray out = QByteArray(Header) + '\n';
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const PendingEntry &e = entries[i];
        if (!e.parts.isMultiPart())
            continue;
        out += "picture " + QByteArray::number(i) + ' ' + QByteArray::number(e.parts.total) + ' ' +
               QByteArray::number(e.parts.firstSeen.toMSecsSinceEpoch()) + ' ' + encoded(e.text) + ' ' +
               encoded(e.parts.key) + '\n';
        for (const PendingPart &p : e.parts.seen)
            out += "part " + QByteArray::number(p.number) + ' ' + encoded(p.tag.text(0)) + ' ' +
                   QByteArray::number(p.lines) + '\n';
    }
    return out;
}

ReadResult parse(const QByteArray &text)
{
    ReadResult res;
    const QList<QByteArray> lines = text.split('\n');
    if (lines.isEmpty() || lines.front() != Header)
        return res;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        if (lines[i].isEmpty() && i == lines.size() - 1)
            break; // the end of the last line
        const QList<QByteArray> f = lines[i].split(' ');
        if (f.front() == "picture") {
            res.records.append(Record{});
            if (!readPicture(f, res.records.back()))
                return {};
        } else if (f.front() != "part" || res.records.isEmpty() || !readPart(f, res.records.back())) {
            return {};
        }
    }
    for (const Record &r : std::as_const(res.records))
        if (r.parts.seen.isEmpty())
            return {};
    res.ok = true;
    return res;
}

} // namespace kestrel::partsfile
