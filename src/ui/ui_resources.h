#pragma once

#include <QIcon>

namespace kestrel {

// Registers the help page and the icons compiled into this library. Safe to call
// more than once; every window calls it before it uses a resource.
void initUiResources();

QIcon applicationIcon();
// A gear, for the buttons that open the options.
QIcon optionsIcon();
// A download arrow struck out in red: stop the article being fetched.
QIcon abortDownloadIcon();
// An arrow leaving an open door: end the program. Drawn here rather than taken from
// the desktop theme, whose stop and exit icons are often the same cross.
QIcon exitIcon();

} // namespace kestrel
