#include "decode/csv_index.h"

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

QByteArray csvSeriesName(const QByteArray &csvName)
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
        NameRef ref;
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
        qsizetype nameEnd = comma < 0 ? lineEnd : pos + comma;
        while (nameEnd > pos && (data[nameEnd - 1] == ' ' || data[nameEnd - 1] == '\t'))
            --nameEnd;
        const qsizetype length = nameEnd - pos;
        if (length > 0 && length <= FoldedNameTable::kMaxLength && pos <= FoldedNameTable::kMaxOffset)
            names.push_back(Name{NameRef{file, quint32(length), pos},
                                 foldedNameHash(QByteArrayView(data + pos, length))});
        pos = end + 1;
    }

    m_table.reserveMore(names.size());
    constexpr size_t kAhead = 8;
    for (size_t i = 0; i < names.size(); ++i) {
        if (i + kAhead < names.size())
            m_table.prefetch(names[i + kAhead].hash);
        const QByteArrayView name = nameOf(names[i].ref);
        m_table.insertUnique(names[i].hash, names[i].ref,
                             [&](const NameRef &r) { return sameFoldedName(nameOf(r), name); });
    }
}

QByteArrayView CsvIndex::nameOf(const NameRef &r) const
{
    return QByteArrayView(m_files[r.text].text).sliced(r.offset, r.length);
}

QByteArrayView CsvIndex::lineOf(const NameRef &r) const
{
    const QByteArray &text = m_files[r.text].text;
    qsizetype end = lineEndFrom(text, r.offset);
    if (end > r.offset && text[end - 1] == '\r')
        --end;
    return QByteArrayView(text).sliced(r.offset, end - r.offset);
}

std::optional<NameRef> CsvIndex::findRecord(const QByteArray &fileName) const
{
    const QByteArrayView name = trimBlanks(fileName);
    if (name.isEmpty())
        return std::nullopt;
    return m_table.find(foldedNameHash(name),
                        [&](const NameRef &r) { return sameFoldedName(nameOf(r), name); });
}

QByteArray CsvIndex::csvFindRecord(const QByteArray &fileName) const
{
    const std::optional<NameRef> r = findRecord(fileName);
    if (!r)
        return {};
    const QByteArrayView line = lineOf(*r);
    const QByteArray &csvName = m_files[r->text].name;
    QByteArray out;
    out.reserve(line.size() + 1 + csvName.size());
    out.append(line).append('\r').append(csvName);
    return out;
}

QByteArray CsvIndex::csvFindCrcRecord(const QByteArray &fileName)
{
    const std::optional<NameRef> r = findRecord(fileName);
    if (!r) {
        m_folder.clear();
        return {};
    }
    m_folder = kestrel::csvSeriesName(m_files[r->text].name);
    return lineOf(*r).toByteArray().toUpper() + '\r';
}

} // namespace kestrel
