#include "base/ini_file.h"

#include "base/atomic_file.h"
#include "base/number_text.h"

#include <QFile>

namespace kestrel {
namespace {

bool isSectionLine(const QByteArray &trimmed)
{
    return trimmed.startsWith('[') && trimmed.indexOf(']') > 0;
}

QByteArray sectionName(const QByteArray &trimmed)
{
    return trimmed.mid(1, trimmed.indexOf(']') - 1).trimmed();
}

} // namespace

IniFile::IniFile(QString path) : m_path(std::move(path))
{
    QFile f(m_path);
    if (!f.open(QIODevice::ReadOnly))
        return;
    const QByteArray all = f.readAll();
    if (all.isEmpty())
        return;
    m_lines = all.split('\n');
    if (m_lines.last().isEmpty())
        m_lines.removeLast();
    for (QByteArray &line : m_lines) {
        if (line.endsWith('\r'))
            line.chop(1);
    }
}

qsizetype IniFile::findSection(const QByteArray &section) const
{
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        const QByteArray t = m_lines[i].trimmed();
        if (isSectionLine(t) && sectionName(t).compare(section, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

qsizetype IniFile::sectionEnd(qsizetype header) const
{
    qsizetype i = header + 1;
    while (i < m_lines.size() && !isSectionLine(m_lines[i].trimmed()))
        ++i;
    return i;
}

qsizetype IniFile::findKey(qsizetype header, const QByteArray &key) const
{
    const qsizetype end = sectionEnd(header);
    for (qsizetype i = header + 1; i < end; ++i) {
        const QByteArray &line = m_lines[i];
        const qsizetype eq = line.indexOf('=');
        if (eq > 0 && line.left(eq).trimmed().compare(key, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

QByteArray IniFile::read(const QByteArray &section, const QByteArray &key) const
{
    const qsizetype header = findSection(section);
    if (header < 0)
        return {};
    const qsizetype at = findKey(header, key);
    if (at < 0)
        return {};
    const QByteArray &line = m_lines[at];
    return line.mid(line.indexOf('=') + 1).trimmed();
}

QString IniFile::readText(const QByteArray &section, const QByteArray &key) const
{
    return displayText(read(section, key));
}

void IniFile::write(const QByteArray &section, const QByteArray &key, const QByteArray &value)
{
    const QByteArray line = key + '=' + value;
    qsizetype header = findSection(section);
    if (header < 0) {
        m_lines.append('[' + section + ']');
        m_lines.append(line);
        return;
    }
    const qsizetype at = findKey(header, key);
    if (at >= 0) {
        m_lines[at] = line;
        return;
    }
    // Append after the section's last non-blank line, so blank separators stay below.
    qsizetype insertAt = sectionEnd(header);
    while (insertAt > header + 1 && m_lines[insertAt - 1].trimmed().isEmpty())
        --insertAt;
    m_lines.insert(insertAt, line);
}

void IniFile::writeText(const QByteArray &section, const QByteArray &key, const QString &value)
{
    write(section, key, value.toUtf8());
}

QByteArray IniFile::contents() const
{
    QByteArray out;
    for (const QByteArray &line : m_lines)
        out += line + "\r\n";
    return out;
}

SaveResult IniFile::save() const
{
    return writeFileAtomic(m_path, contents(), /*ownerOnly=*/true);
}

} // namespace kestrel
