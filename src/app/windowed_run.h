#pragma once

#include <QString>

namespace kestrel {

struct CommandLine;

// Runs the engine with its windows until the user exits; returns the exit status.
int runWindowed(const QString &appPath, const CommandLine &commandLine);

} // namespace kestrel
