#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

namespace kestrel::test {

// A fresh program folder in the temporary directory, removed when the test ends.
class TempProgramFolder {
public:
    TempProgramFolder();
    QString path() const { return m_dir.path(); }
    QString file(const QString &name) const { return m_dir.path() + QLatin1Char('/') + name; }
    void write(const QString &name, const QByteArray &bytes) const;
    QByteArray read(const QString &name) const;
    bool exists(const QString &name) const;
    // Sets the folder up for a run against the news server at host:port: a KESTREL.INI
    // that files into pics/ with XOVER on, then the `extra` lines of [Options], and
    // favs.txt holding `favs` unless that is empty.
    void prepareRun(quint16 port, const QByteArray &favs, const QByteArray &extra = {},
                    const QByteArray &host = "127.0.0.1") const;

private:
    QTemporaryDir m_dir;
};

} // namespace kestrel::test
