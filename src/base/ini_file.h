#pragma once

#include "base/atomic_file.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace kestrel {

// A Windows-style profile file held in memory: case-insensitive sections and keys,
// values trimmed and read whole (a long download path or password must come back as
// it was saved), a written key replaced in place or appended to its section, a missing
// section appended at the end.
// Lines are kept as bytes so that everything not touched is written back unchanged.
class IniFile {
public:
    IniFile() = default;
    // Reads the file; a missing or unreadable file is an empty one.
    explicit IniFile(QString path);

    QByteArray read(const QByteArray &section, const QByteArray &key) const;
    QString readText(const QByteArray &section, const QByteArray &key) const;
    void write(const QByteArray &section, const QByteArray &key, const QByteArray &value);
    void writeText(const QByteArray &section, const QByteArray &key, const QString &value);

    // Writes the whole file atomically, owner read/write only (it may hold a password).
    SaveResult save() const;
    QByteArray contents() const;
    const QString &path() const { return m_path; }

private:
    // Index of the section header line, or -1.
    qsizetype findSection(const QByteArray &section) const;
    // End of a section's body: the next section header or the end of the file.
    qsizetype sectionEnd(qsizetype header) const;
    qsizetype findKey(qsizetype header, const QByteArray &key) const;

    QString m_path;
    QList<QByteArray> m_lines;
};

} // namespace kestrel
