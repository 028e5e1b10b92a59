#include "app/program_run.h"

#include "app/command_line.h"
#include "app/console_output.h"
#include "app/demo_setup.h"
#include "app/service_loop.h"
#include "app/unix_signals.h"

#include "base/front_end.h"
#include "circle/circle.h"
#include "engine/engine.h"

#include <QCoreApplication>
#include <QTimer>

namespace kestrel {

namespace {

// One run from the engine's birth to the end of its event loop. The members are
// declared in the order they must be made; they go in reverse, so the front end's
// windows are gone before the engine whose models they show.
class ProgramRun {
public:
    ProgramRun(const QString &appPath, const CommandLine &commandLine, RunStyle &style,
               const DemoSetup &demo);
    int exec();

private:
    void connectEnding();
    void startCircle();
    void runOneCircle();
    void onOneCircleOver(bool error);
    void exitProgram();

    const CommandLine &m_commandLine;
    RunStyle &m_style;
    const DemoSetup &m_demo;
    Engine m_engine;
    std::unique_ptr<FrontEnd> m_frontEnd;
    UnixSignals m_unixSignals;
    std::unique_ptr<ServiceLoop> m_service;
    int m_exitCode = 0;
    // Showing windows during start-up may serve events, a termination request among
    // them; the shutdown sequence waits until start-up has finished.
    bool m_started = false;
    bool m_exitWanted = false;
    bool m_ending = false;
};

ProgramRun::ProgramRun(const QString &appPath, const CommandLine &commandLine, RunStyle &style,
                       const DemoSetup &demo)
    : m_commandLine(commandLine), m_style(style), m_demo(demo), m_engine(appPath, nullptr, &style.prompter()),
      m_frontEnd(style.makeFrontEnd(m_engine))
{
}

int ProgramRun::exec()
{
    connectEnding();
    m_engine.startUp(*m_frontEnd);
    m_style.started(m_engine, [this] { exitProgram(); });
    if (m_commandLine.demo)
        m_demo.configure(m_engine);
    startCircle();
    m_started = true;
    if (m_exitWanted)
        QTimer::singleShot(0, &m_engine, [this] { exitProgram(); });
    return m_style.exec();
}

void ProgramRun::connectEnding()
{
    QObject::connect(&m_unixSignals, &UnixSignals::terminationRequested, &m_engine,
                     [this] { exitProgram(); });
    QObject::connect(
        &m_engine, &Engine::finished, qApp,
        [this] {
            // What the next start needs was not saved: whoever watches the exit status
            // must hear of it, even after a run that went well.
            QCoreApplication::exit(m_engine.failedSaves().isEmpty() ? m_exitCode : 1);
        },
        Qt::QueuedConnection);
}

void ProgramRun::startCircle()
{
    if (m_commandLine.once || m_commandLine.demo) {
        runOneCircle();
    } else if (m_style.unattended()) {
        // Scan now, and after every stop count down to the next scan.
        m_service = std::make_unique<ServiceLoop>(m_engine.context(), m_engine.circle());
        m_service->start();
    }
}

void ProgramRun::runOneCircle()
{
    QObject::connect(&m_engine.circle(), &Circle::wouldWait, &m_engine,
                     [this](bool error) { onOneCircleOver(error); });
    QTimer::singleShot(0, &m_engine, [this] { m_engine.circle().connectScan(); });
}

void ProgramRun::onOneCircleOver(bool error)
{
    if (m_commandLine.demo)
        writeLine(stdout, QStringLiteral("Demo finished. Pictures are in ") + m_demo.pictureFolder());
    // A demo with windows stays open to be looked at; otherwise end through the normal
    // shutdown as soon as the circle would wait.
    if (m_commandLine.once || m_style.unattended()) {
        m_exitCode = error ? 1 : 0;
        exitProgram();
    }
}

void ProgramRun::exitProgram()
{
    m_exitWanted = true;
    if (!m_started || m_ending)
        return;
    m_ending = true;
    m_style.shutdownBegins();
    m_engine.exitProgram(*m_frontEnd);
}

} // namespace

int runProgram(const QString &appPath, const CommandLine &commandLine, RunStyle &style)
{
    DemoSetup demo;
    if (commandLine.demo && !demo.start()) {
        style.reportFailure(QStringLiteral("kestrel: ") + demo.error());
        return 1;
    }
    ProgramRun run(commandLine.demo ? demo.programFolder() : appPath, commandLine, style, demo);
    return run.exec();
}

} // namespace kestrel
