#pragma once

#include <QString>

namespace kestrel {

struct CommandLine;

// Runs the engine without windows until SIGINT/SIGTERM; returns the exit status.
int runHeadless(const QString &appPath, const CommandLine &commandLine);

} // namespace kestrel
