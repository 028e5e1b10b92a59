#pragma once

#include <QByteArray>

namespace kestrel {

// A file name taken from an article (uuencode begin line, yEnc or MIME name) made safe
// to show and compare: the last path component only (both '/' and '\' separate), no
// control characters, no surrounding blanks, no leading dots (so neither ".." nor a
// hidden file). A name with nothing left is empty.
QByteArray sanitizeFileName(const QByteArray &name);

} // namespace kestrel
