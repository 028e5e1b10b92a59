#include "csv_index.h"

#include <cstring>
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
    const void *lf = std::memchr(text.constData() + pos, '\n', size_t(text.size() - pos));
    return lf ? static_cast<const char *>(lf) - text.constData() : text.size();
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
    const QByteArray &text = m_files[file].text;
    const char *data = text.constData();
    for (qsizetype pos = 0; pos < text.size();) {
        const qsizetype end = lineEndFrom(text, pos);
        qsizetype lineEnd = end;
        if (lineEnd > pos && data[lineEnd - 1] == '\r')
            --lineEnd;
        // The name is the first field; a line without a comma is a name on its own.
        const void *comma = std::memchr(data + pos, ',', size_t(lineEnd - pos));
        qsizetype keyEnd = comma ? static_cast<const char *>(comma) - data : lineEnd;
        while (keyEnd > pos && (data[keyEnd - 1] == ' ' || data[keyEnd - 1] == '\t'))
            --keyEnd;
        const qsizetype keyLength = keyEnd - pos;
        if (keyLength > 0 && keyLength <= std::numeric_limits<quint32>::max()
            && m_records.size() < std::numeric_limits<quint32>::max()) {
            const QByteArrayView key(data + pos, keyLength);
            const auto entry = quint32(m_records.size());
            m_records.push_back(Record{pos, file, quint32(keyLength)});
            const bool added = m_table.insertUnique(foldedNameHash(key), entry, [&](quint32 e) {
                return sameFoldedName(keyOf(m_records[e]), key);
            });
            if (!added)
                m_records.pop_back();
        }
        pos = end + 1;
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
