#pragma once

#include <QString>
#include <QStringList>

namespace kestrel {

struct CommandLine {
    QString home;
    bool headless = false;
    bool once = false;
    bool demo = false;
    bool version = false;
    bool help = false;
    QString error; // set when the arguments are not understood
    QString helpText;
};

// Parses the program's arguments (argv[0] first).
CommandLine parseCommandLine(const QStringList &arguments);

} // namespace kestrel
