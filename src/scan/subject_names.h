#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace kestrel {

// File names cut out of article subjects. Stateless; the result may hold characters
// a file system rejects and can be as short as the bare extension.
QByteArray extractJpgName(const QByteArray &subject);
QByteArray extractGifName(const QByteArray &subject);
QByteArray extractPngName(const QByteArray &subject);

// Removes every occurrence of token from text, letters compared without case. The
// search restarts from the left after each removal, so an occurrence formed by joining
// the pieces goes too. An empty token changes nothing.
void stripToken(QByteArray &text, QByteArrayView token);

// The variant the force-to-queue command uses: ".gif" in the subject selects GIF,
// else ".png" selects PNG, else JPG. isGifOrPng tells which icon the entry gets.
QByteArray extractNameByExtension(const QByteArray &subject, bool *isGifOrPng = nullptr);

} // namespace kestrel
