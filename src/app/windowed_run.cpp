#include "windowed_run.h"

#include "command_line.h"
#include "headless_run.h"

namespace kestrel {

// The windows are wired in once the main window exists; until then the engine runs
// without them.
int runWindowed(const QString &appPath, const CommandLine &commandLine)
{
    return runHeadless(appPath, commandLine);
}

} // namespace kestrel
