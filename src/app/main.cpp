#include "command_line.h"
#include "headless_run.h"
#include "windowed_run.h"

#include "core/app_path.h"
#include "kestrel_version.h"

#include <QApplication>
#include <QCoreApplication>

#include <cstdio>
#include <memory>

namespace {

bool wantsNoWindows(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray a(argv[i]);
        if (a == "--headless" || a == "--version" || a == "-v" || a == "--help" || a == "-h")
            return true;
    }
    return false;
}

void print(FILE *to, const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), to);
}

} // namespace

int main(int argc, char **argv)
{
    std::unique_ptr<QCoreApplication> app;
    if (wantsNoWindows(argc, argv))
        app = std::make_unique<QCoreApplication>(argc, argv);
    else
        app = std::make_unique<QApplication>(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kestrel"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KESTREL_VERSION_TEXT));

    const kestrel::CommandLine cl = kestrel::parseCommandLine(QCoreApplication::arguments());
    if (!cl.error.isEmpty()) {
        print(stderr, cl.error + QLatin1Char('\n') + cl.helpText);
        return 2;
    }
    if (cl.help) {
        print(stdout, cl.helpText);
        return 0;
    }
    if (cl.version) {
        print(stdout, QStringLiteral("kestrel " KESTREL_VERSION_TEXT "\n"));
        return 0;
    }

    const QString appPath = kestrel::resolveAppPath(cl.home, QCoreApplication::applicationDirPath());
    if (appPath.isEmpty()) {
        print(stderr, QStringLiteral("kestrel: cannot create the program folder\n"));
        return 1;
    }
    return cl.headless ? kestrel::runHeadless(appPath, cl) : kestrel::runWindowed(appPath, cl);
}
