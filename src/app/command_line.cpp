#include "app/command_line.h"

#include <QCommandLineParser>

namespace kestrel {

CommandLine parseCommandLine(const QStringList &arguments)
{
    QCommandLineParser p;
    p.setApplicationDescription(
        QStringLiteral("Kestrel, an unattended picture downloader for Usenet.\n"
                       "It scans your favourite newsgroups, filters the headers, downloads and decodes the\n"
                       "pictures, files them into folders, then counts down and scans again."));
    const QCommandLineOption home(QStringLiteral("home"),
                                  QStringLiteral("Program folder holding KESTREL.INI, the lists and the log "
                                                 "(default: $KESTREL_HOME, else ~/.local/share/kestrel)."),
                                  QStringLiteral("DIR"));
    const QCommandLineOption headless(
        QStringLiteral("headless"),
        QStringLiteral("Run without windows as a service: scan at once, then re-scan after every run "
                       "until SIGTERM; log lines go to standard output."));
    const QCommandLineOption once(QStringLiteral("once"),
                                  QStringLiteral("Scan and download once, then exit (status 1 on error)."));
    const QCommandLineOption demo(QStringLiteral("demo"),
                                  QStringLiteral("Run one circle against a built-in sample news server."));
    const QCommandLineOption version(QStringList{QStringLiteral("version"), QStringLiteral("v")},
                                     QStringLiteral("Print the version and exit."));
    const QCommandLineOption help(QStringList{QStringLiteral("help"), QStringLiteral("h")},
                                  QStringLiteral("Print this help and exit."));
    p.addOptions({home, headless, once, demo, version, help});

    CommandLine c;
    if (!p.parse(arguments))
        c.error = p.errorText();
    c.home = p.value(home);
    c.headless = p.isSet(headless);
    c.once = p.isSet(once);
    c.demo = p.isSet(demo);
    c.version = p.isSet(version);
    c.help = p.isSet(help);
    c.helpText = p.helpText();
    if (c.error.isEmpty() && !p.positionalArguments().isEmpty())
        c.error = QStringLiteral("Unexpected argument: ") + p.positionalArguments().first();
    return c;
}

} // namespace kestrel
