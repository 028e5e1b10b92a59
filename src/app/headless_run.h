#pragma once

#include <QString>

namespace kestrel {

struct CommandLine;

// Runs the engine without windows: unattended until SIGINT/SIGTERM, or one circle with
// --once or --demo. Returns the exit status.
int runHeadless(const QString &appPath, const CommandLine &commandLine);

} // namespace kestrel
