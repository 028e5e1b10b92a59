#pragma once

#include <QByteArray>
#include <QString>

namespace kestrel {

// The line a picture gets in its folder's descript.ion: the file name, one blank, the
// description, CR LF. Names with blanks are not quoted. Line breaks inside the
// description become blanks, so one picture never takes more than one line.
QByteArray descriptIonLine(const QByteArray &fileName, const QByteArray &description);

// Appends that line to folder + "descript.ion" (folder ends in '/'), creating the file
// when missing. Returns an empty string or the reason the append failed.
QString appendDescriptIon(const QString &folder, const QByteArray &fileName, const QByteArray &description);

} // namespace kestrel
