#pragma once

#include "base/atomic_file.h"
#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

namespace kestrel {

class Context;

// Folders searched for files of the same name before an article is queued
// (DUPEPATH.TXT). Every folder is kept trimmed and ending in the path separator, so a
// file name is appended to it directly. Every change is saved at once.
class DupePaths : public QObject {
    Q_OBJECT
public:
    explicit DupePaths(Context &ctx, QObject *parent = nullptr);

    // Loads the list in its normalised form. The start-up sequence saves it back at
    // once (saveDupePaths) so the file takes that form too.
    void loadDupePaths();
    SaveResult saveDupePaths() const;
    // Adds a folder unless it is listed already (letters compared without case);
    // saves in both cases.
    void addDupeFolder(const QString &folder);
    // Adds the direct subfolders of folder (one level).
    void addSubfolders(const QString &folder);
    // Removes the given rows; saves when any was removed.
    void removeRows(QList<int> rows);

    // A normal file named folder + fileName exists in one of the folders.
    bool containsFile(QByteArrayView fileName) const;

    const QList<QByteArray> &entries() const { return m_entries; }
    QStringList displayEntries() const;

Q_SIGNALS:
    void changed();

private:
    Context &m_ctx;
    QList<QByteArray> m_entries;
};

} // namespace kestrel
