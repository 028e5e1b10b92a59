#pragma once

#include "base/atomic_file.h"
#include <QByteArray>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace kestrel {

class Context;

// Folders searched for files of the same name before an article is queued
// (DUPEPATH.TXT). Every folder is kept trimmed and ending in the path separator. Every
// change is saved at once.
//
// Each folder's file names are held as a set, upper-cased like every other name
// comparison, so that PIC.JPG in a folder stops pic.jpg and a header costs no
// file-system call. A folder is read when first looked at after it was added or after
// a scan started (foldersMayHaveChanged), and files Kestrel stores there itself are
// added as they arrive (noteStoredFile).
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
    // Adds the direct subfolders of folder (one level), leaving hidden ones out: they
    // hold thumbnails and caches, not pictures a user collected.
    void addSubfolders(const QString &folder);
    // Removes the given rows; saves when any was removed.
    void removeRows(QList<int> rows);

    // One of the folders holds a file of that name, letters compared without case.
    bool containsFile(QByteArrayView fileName);
    // Files may have come or gone since the folders were read: read each again at its
    // next look-up. Called when a scan starts.
    void foldersMayHaveChanged();
    // A file Kestrel has just stored; counted at once when its folder is listed.
    void noteStoredFile(const QString &path);

    const QList<QByteArray> &entries() const { return m_entries; }
    QStringList displayEntries() const;

Q_SIGNALS:
    void changed();

private:
    // Upper-cased names of the files in m_entries[row], read now when not yet known.
    const QSet<QByteArray> &namesOf(qsizetype row);
    QSet<QByteArray> readNames(const QByteArray &folder) const;

    Context &m_ctx;
    QList<QByteArray> m_entries;
    // One per entry; empty until the folder is read.
    std::vector<std::optional<QSet<QByteArray>>> m_names;
};

} // namespace kestrel
