#pragma once

#include <QString>

namespace kestrel {

// Messages longer than this are cut: a server may send a line of megabytes, and the
// log, the terminal and OPSLOG.TXT are no place for it.
inline constexpr qsizetype MaxLoggedLength = 500;

// `text` made safe to show on a terminal, in the journal and in the log file: control
// characters (C0, DEL and C1, which start terminal escape sequences or ring the bell)
// become "\xNN", and what lies beyond MaxLoggedLength characters is replaced by a
// note of how much was left out.
QString loggableText(const QString &text);

} // namespace kestrel
