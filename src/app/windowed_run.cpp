#include "windowed_run.h"

#include "command_line.h"
#include "unix_signals.h"

#include "core/engine.h"
#include "scan/pending_list_model.h"
#include "ui/main_window.h"
#include "ui/message_box_prompter.h"
#include "ui/widget_front_end.h"

#include <QApplication>
#include <QTimer>

namespace kestrel {

namespace {

// Forwards the main window's list commands to the pending list.
void wirePendingCommands(MainWindow &w, Engine &engine)
{
    PendingListModel &pending = engine.pending();
    w.setPendingModel(&pending);
    QObject::connect(&w, &MainWindow::moveToTopClicked, &pending, [&pending] { pending.MoveToTop(); });
    QObject::connect(&w, &MainWindow::deleteClicked, &pending, [&pending] { pending.RemoveSelected(true); });
    QObject::connect(&w, &MainWindow::blacklistEmailClicked, &pending,
                     [&pending] { pending.BlacklistSelected(BlacklistField::Email); });
    QObject::connect(&w, &MainWindow::blacklistOrgClicked, &pending,
                     [&pending] { pending.BlacklistSelected(BlacklistField::Organization); });
    QObject::connect(&w, &MainWindow::blacklistHostClicked, &pending,
                     [&pending] { pending.BlacklistSelected(BlacklistField::PostingHost); });
}

} // namespace

int runWindowed(const QString &appPath, const CommandLine &)
{
    MessageBoxPrompter prompter;
    Engine engine(appPath, nullptr, &prompter);
    WidgetFrontEnd frontEnd(engine.context());

    UnixSignals unixSignals;
    // Showing windows during start-up may serve events, a termination request among
    // them; the shutdown sequence waits until start-up has finished.
    bool started = false;
    bool exitWanted = false;
    bool ending = false;
    const auto exitProgram = [&] {
        exitWanted = true;
        if (!started || ending)
            return;
        ending = true;
        if (MainWindow *w = frontEnd.mainWindow())
            w->setShutdownInProgress(true);
        engine.ExitProgram(frontEnd);
    };
    QObject::connect(&unixSignals, &UnixSignals::terminationRequested, &engine, exitProgram);
    QObject::connect(&engine, &Engine::finished, qApp, [] { QCoreApplication::exit(0); },
                     Qt::QueuedConnection);

    engine.Main(frontEnd);
    MainWindow &w = *frontEnd.mainWindow();
    wirePendingCommands(w, engine);
    QObject::connect(&w, &MainWindow::exitRequested, &engine, exitProgram);
    started = true;
    if (exitWanted)
        QTimer::singleShot(0, &engine, exitProgram);
    return QApplication::exec();
}

} // namespace kestrel
