#include "app/headless_run.h"

#include "app/console_output.h"
#include "app/headless_front_end.h"
#include "app/headless_prompter.h"
#include "app/program_run.h"

#include "engine/engine.h"

#include <QCoreApplication>

namespace kestrel {

namespace {

// Nobody is there: standard output carries the log, and questions take their default.
class HeadlessStyle final : public RunStyle {
public:
    void reportFailure(const QString &line) override { writeLine(stdout, line); }
    Prompter &prompter() override { return m_prompter; }

    std::unique_ptr<FrontEnd> makeFrontEnd(Engine &engine) override
    {
        OperationsLog &log = engine.context().log;
        m_prompter.setLog(&log);
        // Everything meant for the log reaches standard output, whatever the log switches say.
        QObject::connect(&log, &OperationsLog::logged, [](const QString &time, const QString &message) {
            writeLine(stdout, time + QLatin1String("  ") + message);
        });
        return std::make_unique<HeadlessFrontEnd>();
    }

    void started(Engine &, const std::function<void()> &) override {}
    void shutdownBegins() override {}
    bool unattended() const override { return true; }
    int exec() override { return QCoreApplication::exec(); }

private:
    HeadlessPrompter m_prompter;
};

} // namespace

int runHeadless(const QString &appPath, const CommandLine &commandLine)
{
    HeadlessStyle style;
    return runProgram(appPath, commandLine, style);
}

} // namespace kestrel
