#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace kestrel {

class Context;

// Verdicts of the picture test. Only IvtError has consequences: the picture is
// deleted. IvtNotTested means the file could not be read; the reason has been
// logged and the picture counts as not failed.
enum IvtVerdict : qint32 {
    IvtNotTested = 0,
    IvtPass = 1,
    IvtWarning = 2,      // large, or converted from GIF
    IvtBadStructure = 3, // a marker is missing: probably cut short
    IvtError = 4,
};

// Tests a freshly decoded picture unless chkEnableIVT is off (then IvtPass, nothing
// logged). Names containing ".gif" or ".png" (any case) are passed untested; anything
// else is checked as a JPEG file. Logs "IVT: " + fileName + " -- " + the message.
qint32 testPicture(Context &ctx, const QString &path, const QByteArray &fileName);

// The same test of a picture held in memory.
qint32 testPictureBytes(Context &ctx, QByteArrayView picture, const QByteArray &fileName);

// The same test when jpegCheckBytes has already run on the picture's bytes (on another
// thread): only the settings, the name and the log are looked at here.
qint32 testCheckedPicture(Context &ctx, int jpegCode, const QByteArray &fileName);

} // namespace kestrel
