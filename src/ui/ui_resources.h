#pragma once

#include <QIcon>

namespace kestrel {

// Registers the help page and the icons compiled into this library. Safe to call
// more than once; every window calls it before it uses a resource.
void initUiResources();

QIcon applicationIcon();
// A gear, for the buttons that open the options.
QIcon optionsIcon();

} // namespace kestrel
