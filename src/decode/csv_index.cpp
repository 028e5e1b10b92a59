#include "csv_index.h"

#include <algorithm>
#include <limits>

namespace kestrel {

namespace {
QByteArrayView trimBlanks(QByteArrayView s)
{
    while (!s.isEmpty() && s.front() == ' ')
        s = s.sliced(1);
    while (!s.isEmpty() && s.back() == ' ')
        s.chop(1);
    return s;
}

qsizetype lineEndFrom(const QByteArray &text, qsizetype pos)
{
    const qsizetype lf = QByteArrayView(text).indexOf('\n', pos);
    return lf < 0 ? text.size() : lf;
}
} // namespace

QByteArray CsvSeriesName(const QByteArray &csvName)
{
    QByteArray rest = csvName;
    const qsizetype first = rest.indexOf('_');
    if (first >= 0)
        rest = rest.mid(first + 1);
    const qsizetype last = rest.lastIndexOf('_');
    if (last >= 0)
        rest.truncate(last);
    return rest;
}

void CsvIndex::addCsvText(const QByteArray &csvName, QByteArray text)
{
    m_files.push_back(CsvFile{csvName, std::move(text)});
    indexText(quint32(m_files.size() - 1));
}

void CsvIndex::indexText(quint32 file)
{
    // Names first, in one sequential pass; then into the table with its slots fetched
    // a few names ahead, as a million random slots do not fit in any cache.
    struct Name {
        qsizetype offset;
        qsizetype length;
        quint32 hash;
    };
    std::vector<Name> names;
    const QByteArray &text = m_files[file].text;
    const char *data = text.constData();
    for (qsizetype pos = 0; pos < text.size();) {
        const qsizetype end = lineEndFrom(text, pos);
        qsizetype lineEnd = end;
        if (lineEnd > pos && data[lineEnd - 1] == '\r')
            --lineEnd;
        // The name is the first field; a line without a comma is a name on its own.
        const qsizetype comma = QByteArrayView(data + pos, lineEnd - pos).indexOf(',');
        qsizetype keyEnd = comma < 0 ? lineEnd : pos + comma;
        while (keyEnd > pos && (data[keyEnd - 1] == ' ' || data[keyEnd - 1] == '\t'))
            --keyEnd;
        const qsizetype length = keyEnd - pos;
        if (length > 0 && length <= std::numeric_limits<quint32>::max())
            names.push_back(Name{pos, length, foldedNameHash(QByteArrayView(data + pos, length))});
        pos = end + 1;
    }

    if (names.size() >= std::numeric_limits<quint32>::max() - m_records.size())
        return;
    m_table.reserveMore(names.size());
    if (m_records.capacity() < m_records.size() + names.size())
        m_records.reserve(std::max(m_records.capacity() * 2, m_records.size() + names.size()));
    constexpr size_t kAhead = 8;
    for (size_t i = 0; i < names.size(); ++i) {
        if (i + kAhead < names.size())
            m_table.prefetch(names[i + kAhead].hash);
        const Name &n = names[i];
        const QByteArrayView key(data + n.offset, n.length);
        const auto entry = quint32(m_records.size());
        m_records.push_back(Record{n.offset, file, quint32(n.length)});
        const bool added = m_table.insertUnique(n.hash, entry, [&](quint32 e) {
            return sameFoldedName(keyOf(m_records[e]), key);
        });
        if (!added)
            m_records.pop_back();
    }
}

QByteArrayView CsvIndex::keyOf(const Record &r) const
{
    return QByteArrayView(m_files[r.file].text).sliced(r.offset, r.keyLength);
}

QByteArrayView CsvIndex::lineOf(const Record &r) const
{
    const QByteArray &text = m_files[r.file].text;
    qsizetype end = lineEndFrom(text, r.offset);
    if (end > r.offset && text[end - 1] == '\r')
        --end;
    return QByteArrayView(text).sliced(r.offset, end - r.offset);
}

const CsvIndex::Record *CsvIndex::findRecord(const QByteArray &fileName) const
{
    const QByteArrayView key = trimBlanks(fileName);
    if (key.isEmpty())
        return nullptr;
    const qint64 e = m_table.find(foldedNameHash(key), [&](quint32 i) {
        return sameFoldedName(keyOf(m_records[i]), key);
    });
    return e < 0 ? nullptr : &m_records[size_t(e)];
}

QByteArray CsvIndex::CsvFindRecord(const QByteArray &fileName) const
{
    const Record *r = findRecord(fileName);
    if (!r)
        return {};
    const QByteArrayView line = lineOf(*r);
    const QByteArray &csvName = m_files[r->file].name;
    QByteArray out;
    out.reserve(line.size() + 1 + csvName.size());
    out.append(line).append('\r').append(csvName);
    return out;
}

QByteArray CsvIndex::CsvFindCrcRecord(const QByteArray &fileName)
{
    const Record *r = findRecord(fileName);
    if (!r) {
        m_folder.clear();
        return {};
    }
    m_folder = kestrel::CsvSeriesName(m_files[r->file].name);
    return lineOf(*r).toByteArray().toUpper() + '\r';
}

} // namespace kestrel
