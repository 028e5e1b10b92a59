#pragma once

#include <QString>

#include <cstdio>

namespace kestrel {

// Writes text as it stands, for help and usage texts that bring their own line ends.
void writeText(FILE *to, const QString &text);

// Writes one line and flushes it: a service manager or a test reading the pipe sees
// each line as soon as it is said, not when a buffer happens to fill.
void writeLine(FILE *to, const QString &line);

} // namespace kestrel
