#include "windowed_run.h"

#include "command_line.h"
#include "unix_signals.h"

#include "core/engine.h"
#include "scan/pending_list_model.h"
#include "ui/add_group_dialog.h"
#include "ui/login_window.h"
#include "ui/main_window.h"
#include "ui/message_box_prompter.h"
#include "ui/options_window.h"
#include "ui/pending_list_view.h"
#include "ui/widget_front_end.h"

#include <QApplication>
#include <QTimer>

namespace kestrel {

namespace {

// The windows that edit the settings and the lists. They are made once and live until
// the program ends: their controls are bound to the live settings.
struct Windows {
    PendingListView *pending = nullptr;
    LoginWindow *login = nullptr;
    OptionsWindow *options = nullptr;
};

Windows makeWindows(MainWindow &w, Engine &engine)
{
    Context &ctx = engine.context();
    Windows made;
    made.pending = new PendingListView(w, engine.pending());
    made.login = new LoginWindow(ctx.settings, &w);
    made.options = new OptionsWindow(
        ctx, {engine.favourites(), engine.noRedl(), engine.dupePaths(), engine.blacklist()}, &w);
    OptionsWindow *options = made.options;
    LoginWindow *login = made.login;
    QObject::connect(&w, &MainWindow::optionsClicked, options, [options] {
        options->show();
        options->raise();
        options->activateWindow();
    });
    QObject::connect(options, &OptionsWindow::helpClicked, &w, &MainWindow::showHelp);
    QObject::connect(options, &OptionsWindow::addGroupClicked, options, [options, &ctx, &engine] {
        auto *dialog = new AddGroupDialog(ctx, engine.favourites(), options);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        dialog->open();
    });
    // Without a download folder nothing can be saved: ask for one first.
    QObject::connect(&w, &MainWindow::scanClicked, login, [login, options, &ctx] {
        if (ctx.settings.text(u"lblDownloadPath").isEmpty()) {
            options->openDownloadPicker();
            return;
        }
        login->show();
        login->raise();
        login->activateWindow();
    });
    return made;
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
    [[maybe_unused]] const Windows windows = makeWindows(w, engine);
    QObject::connect(&w, &MainWindow::exitRequested, &engine, exitProgram);
    started = true;
    if (exitWanted)
        QTimer::singleShot(0, &engine, exitProgram);
    return QApplication::exec();
}

} // namespace kestrel
