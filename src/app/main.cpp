#include "app/command_line.h"
#include "app/console_output.h"
#include "app/headless_run.h"
#include "app/instance_lock.h"
#include "app/unix_signals.h"
#include "app/windowed_run.h"

#include "base/app_path.h"
#include "kestrel_version.h"

#include <QApplication>
#include <QCoreApplication>

#include <cstdio>
#include <memory>

namespace {

// Windows are wanted unless the arguments ask for none or will only print something.
bool wantsWindows(int argc, char **argv)
{
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    const kestrel::CommandLine cl = kestrel::parseCommandLine(args);
    return cl.error.isEmpty() && !cl.help && !cl.version && !cl.headless;
}

bool haveDisplay()
{
    return qEnvironmentVariableIsSet("DISPLAY") || qEnvironmentVariableIsSet("WAYLAND_DISPLAY") ||
           qEnvironmentVariableIsSet("QT_QPA_PLATFORM");
}

} // namespace

int main(int argc, char **argv)
{
    kestrel::UnixSignals::blockTerminationSignals();
    const bool windows = wantsWindows(argc, argv);
    if (windows && !haveDisplay()) {
        std::fputs("kestrel: no display to show windows on; use --headless to run without them\n", stderr);
        return 1;
    }
    std::unique_ptr<QCoreApplication> app;
    if (windows)
        app = std::make_unique<QApplication>(argc, argv);
    else
        app = std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kestrel"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KESTREL_VERSION_TEXT));

    const kestrel::CommandLine cl = kestrel::parseCommandLine(QCoreApplication::arguments());
    if (!cl.error.isEmpty()) {
        kestrel::writeText(stderr, cl.error + QLatin1Char('\n') + cl.helpText);
        return 2;
    }
    if (cl.help) {
        kestrel::writeText(stdout, cl.helpText);
        return 0;
    }
    if (cl.version) {
        kestrel::writeText(stdout, QStringLiteral("kestrel " KESTREL_VERSION_TEXT "\n"));
        return 0;
    }

    const QString appPath = kestrel::resolveAppPath(cl.home, QCoreApplication::applicationDirPath());
    if (appPath.isEmpty()) {
        kestrel::writeText(stderr, QStringLiteral("kestrel: cannot create the program folder\n"));
        return 1;
    }
    // Held until the run has saved everything. A demo runs in a fresh folder of its own
    // and leaves this one alone, so it may run beside a program that uses it.
    kestrel::InstanceLock lock(appPath);
    if (!cl.demo && !lock.acquire()) {
        kestrel::writeText(stderr, lock.refusal() + QLatin1Char('\n'));
        return 1;
    }
    return cl.headless ? kestrel::runHeadless(appPath, cl) : kestrel::runWindowed(appPath, cl);
}
