#pragma once

namespace kestrel {

class Engine;
class MainWindow;

// Makes the windows that edit the settings and the lists, and connects them, the main
// window's buttons and the circle's requests for a window. They live as children of the
// main window until the program ends: their controls are bound to the live settings.
void wireWindows(MainWindow &mainWindow, Engine &engine);

} // namespace kestrel
