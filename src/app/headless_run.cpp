#include "headless_run.h"

#include "command_line.h"
#include "headless_front_end.h"
#include "headless_prompter.h"
#include "unix_signals.h"

#include "core/engine.h"

#include <QCoreApplication>
#include <cstdio>

namespace kestrel {

int runHeadless(const QString &appPath, const CommandLine &)
{
    HeadlessPrompter prompter;
    Engine engine(appPath, nullptr, &prompter);
    Context &ctx = engine.context();
    prompter.setLog(&ctx.log);

    // Everything meant for the log reaches standard output, whatever the log switches say.
    QObject::connect(&ctx.log, &OperationsLog::logged, [](const QString &time, const QString &message) {
        const QByteArray line = (time + QLatin1String("  ") + message + QLatin1Char('\n')).toUtf8();
        std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
        std::fflush(stdout);
    });

    HeadlessFrontEnd frontEnd;
    UnixSignals unixSignals;
    QObject::connect(&unixSignals, &UnixSignals::terminationRequested, &engine,
                     [&] { engine.ExitProgram(frontEnd); });
    QObject::connect(&engine, &Engine::finished, qApp, [] { QCoreApplication::exit(0); },
                     Qt::QueuedConnection);

    engine.Main(frontEnd);
    return QCoreApplication::exec();
}

} // namespace kestrel
