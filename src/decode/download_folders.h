#pragma once

#include <QByteArray>
#include <QString>

namespace kestrel {

class SettingsStore;

// The download folder setting (lblDownloadPath) ending in exactly one '/', however it
// was typed; empty when none is set.
QString downloadFolder(const SettingsStore &settings);

// A group name shortened by dropping well-known prefixes, applied in turn, each to the
// result of the one before, compared exactly: "alt.binaries.pictures.", "alt.binaries.",
// "alt.sex.". So alt.binaries.pictures.nature gives nature, alt.sex.pictures gives
// pictures, and alt.binaries. alone gives the empty name.
QByteArray shortFolderName(const QByteArray &group);

// The group sub-folder a picture goes to: empty unless makeSubDirs; the group name,
// shortened when shortNames.
QByteArray groupSubfolderName(const QByteArray &group, bool makeSubDirs, bool shortNames);

// A name that came from the network or a list file (file name, group, CSV series) made
// into one path component that cannot leave its folder: the last component after any
// '/' or '\', without control characters, surrounding blanks or leading dots. Empty
// when nothing usable is left ("..", "/", "").
QString safePathComponent(const QByteArray &name);

// The longest file name, in bytes on disk, that the common Linux file systems take.
inline constexpr qsizetype MaxFileNameBytes = 255;

// `name` cut to fit MaxFileNameBytes on disk, keeping its extension; with number > 0
// "~number" goes before the extension. A name that fits and has no number is
// returned as it is.
QString fitFileName(const QString &name, int number = 0);

// The name a picture is stored under in `folder` (ending in '/'): `name` itself when
// it fits; otherwise shortened by fitFileName, and numbered when a file of the
// shortened name is there already, as it belongs to another long name.
QString storedFileName(const QString &folder, const QString &name);

// Whether `path` lies strictly inside `folder` once both are cleaned ("a/../b" folded).
bool isInsideFolder(const QString &folder, const QString &path);

// Creates root + name as a folder when it does not exist yet; any failure is ignored,
// so an existing (even empty) folder is harmless. root ends in '/'.
void makeDownloadSubfolder(const QString &root, const QString &name);

// The places of one picture in the download tree. root is the download folder (ending
// in '/'), sub the group sub-folder or empty, name the picture's file name; all three
// already safe.
struct DownloadPaths {
    QString root;
    QString sub;
    QString name;

    // The name less its last three characters ("pic." for pic.jpg), to which the work,
    // header and kept-article files add "UUE" or "TXT". A name of three characters or
    // fewer keeps its whole self and a dot, so these files never lose their name.
    QString stem() const;
    // root, or root + sub + '/'.
    QString folder() const;
    QString destination() const { return folder() + name; }
    QString headerFile() const { return folder() + stem() + QStringLiteral("TXT"); }
    // root + child + '/' + file: crcfail, bad_decodes and series folders.
    QString under(const QString &child, const QString &file) const
    {
        return root + child + QLatin1Char('/') + file;
    }
};

} // namespace kestrel
