#include "app/headless_run.h"

#include "app/command_line.h"
#include "app/demo_setup.h"
#include "app/headless_front_end.h"
#include "app/headless_prompter.h"
#include "app/service_loop.h"
#include "app/unix_signals.h"

#include "engine/engine.h"
#include "circle/circle.h"

#include <QCoreApplication>
#include <QTimer>
#include <cstdio>
#include <memory>

namespace kestrel {

namespace {

void printLine(const QString &text)
{
    const QByteArray line = (text + QLatin1Char('\n')).toUtf8();
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fflush(stdout);
}

} // namespace

int runHeadless(const QString &appPathIn, const CommandLine &cl)
{
    DemoSetup demo;
    if (cl.demo && !demo.start()) {
        printLine(QStringLiteral("kestrel: ") + demo.error());
        return 1;
    }
    const QString appPath = cl.demo ? demo.programFolder() : appPathIn;

    HeadlessPrompter prompter;
    Engine engine(appPath, nullptr, &prompter);
    Context &ctx = engine.context();
    prompter.setLog(&ctx.log);

    // Everything meant for the log reaches standard output, whatever the log switches say.
    QObject::connect(&ctx.log, &OperationsLog::logged, [](const QString &time, const QString &message) {
        printLine(time + QLatin1String("  ") + message);
    });

    HeadlessFrontEnd frontEnd;
    UnixSignals unixSignals;
    int exitCode = 0;
    bool ending = false;
    const auto exitProgram = [&] {
        if (ending)
            return;
        ending = true;
        engine.exitProgram(frontEnd);
    };
    QObject::connect(&unixSignals, &UnixSignals::terminationRequested, &engine, exitProgram);
    QObject::connect(
        &engine, &Engine::finished, qApp, [&exitCode] { QCoreApplication::exit(exitCode); },
        Qt::QueuedConnection);

    engine.startUp(frontEnd);
    std::unique_ptr<ServiceLoop> service;
    if (cl.demo)
        demo.configure(engine);
    if (cl.once || cl.demo) {
        // One circle: end through the normal shutdown as soon as it would wait.
        QObject::connect(&engine.circle(), &Circle::wouldWait, &engine, [&](bool error) {
            exitCode = error ? 1 : 0;
            if (cl.demo)
                printLine(QStringLiteral("Demo finished. Pictures are in ") + demo.pictureFolder());
            exitProgram();
        });
        QTimer::singleShot(0, &engine, [&engine] { engine.circle().connectScan(); });
    } else {
        // Unattended: scan now, and after every stop count down to the next scan.
        service = std::make_unique<ServiceLoop>(engine.circle());
        service->start();
    }
    return QCoreApplication::exec();
}

} // namespace kestrel
