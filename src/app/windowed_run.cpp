#include "app/windowed_run.h"

#include "app/command_line.h"
#include "app/unix_signals.h"

#include "engine/engine.h"
#include "app/demo_setup.h"
#include "circle/circle.h"
#include "scan/pending_list_model.h"
#include "ui/add_group_dialog.h"
#include "ui/group_manager_window.h"
#include "ui/login_window.h"
#include "ui/main_window.h"
#include "ui/message_box_prompter.h"
#include "ui/newsgroups_file_picker.h"
#include "ui/options_window.h"
#include "ui/pending_list_view.h"
#include "ui/widget_front_end.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>

namespace kestrel {

namespace {

// The windows that edit the settings and the lists. They are made once and live until
// the program ends: their controls are bound to the live settings.
struct Windows {
    PendingListView *pending = nullptr;
    LoginWindow *login = nullptr;
    OptionsWindow *options = nullptr;
};

void showWindow(QWidget *window)
{
    window->show();
    window->raise();
    window->activateWindow();
}

// The buttons that start and stop the circle, and the windows the circle asks for.
template <typename OpenAddGroup>
void wireCircle(MainWindow &w, const Windows &windows, Circle &circle, OpenAddGroup openAddGroup)
{
    LoginWindow *login = windows.login;
    OptionsWindow *options = windows.options;
    QObject::connect(login, &LoginWindow::connectClicked, &circle, [&circle] { circle.connectScan(); });
    QObject::connect(&w, &MainWindow::stopScanClicked, &circle, [&circle] { circle.stopScan(); });
    QObject::connect(&w, &MainWindow::abortDownloadClicked, &circle, [&circle] { circle.abortDownload(); });
    QObject::connect(windows.pending, &PendingListView::downloadStartRequested, &circle,
                     [&circle] { circle.downloadNext(); });
    QObject::connect(&circle, &Circle::loginWindowWanted, login, [login] { showWindow(login); });
    QObject::connect(&circle, &Circle::loginWindowHideWanted, login, &QWidget::hide);
    QObject::connect(&circle, &Circle::newsgroupsWanted, options, [login, options, openAddGroup] {
        login->hide();
        options->showNewsgroupsTab();
        showWindow(options);
        openAddGroup();
    });
}

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
    // The group manager is made when first asked for and then kept (closing only hides
    // it); its connection logs in through the circle's login.
    const auto showGroupManager = [&w, &ctx, &engine] {
        auto *manager = w.findChild<GroupManagerWindow *>();
        if (!manager)
            manager = new GroupManagerWindow(ctx, engine.circle().login(), engine.favourites(), &w);
        showWindow(manager);
    };
    const auto showGroupFilePicker = [options, &ctx, &engine] {
        auto *picker = new NewsgroupsFilePicker(ctx, engine.favourites(), options);
        picker->setAttribute(Qt::WA_DeleteOnClose);
        showWindow(picker);
    };
    const auto openAddGroup = [options, &ctx, &engine, showGroupManager, showGroupFilePicker] {
        auto *dialog = new AddGroupDialog(ctx, engine.favourites(), options);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        QObject::connect(dialog, &AddGroupDialog::groupManagerWanted, options, showGroupManager);
        QObject::connect(dialog, &AddGroupDialog::groupFilePickerWanted, options, showGroupFilePicker);
        dialog->open();
    };
    QObject::connect(options, &OptionsWindow::addGroupClicked, options, openAddGroup);
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
    wireCircle(w, made, engine.circle(), openAddGroup);
    return made;
}

} // namespace

int runWindowed(const QString &appPathIn, const CommandLine &cl)
{
    DemoSetup demo;
    if (cl.demo && !demo.start()) {
        std::fprintf(stderr, "kestrel: %s\n", qPrintable(demo.error()));
        return 1;
    }
    const QString appPath = cl.demo ? demo.programFolder() : appPathIn;
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
        engine.exitProgram(frontEnd);
    };
    QObject::connect(&unixSignals, &UnixSignals::terminationRequested, &engine, exitProgram);
    int exitCode = 0;
    QObject::connect(
        &engine, &Engine::finished, qApp, [&exitCode] { QCoreApplication::exit(exitCode); },
        Qt::QueuedConnection);

    engine.startUp(frontEnd);
    MainWindow &w = *frontEnd.mainWindow();
    [[maybe_unused]] const Windows windows = makeWindows(w, engine);
    QObject::connect(&w, &MainWindow::exitRequested, &engine, [&](bool fromCloseBox) {
        // Closing the window says goodbye to the server once more, as it always did.
        if (fromCloseBox)
            engine.circle().sendQuit(ConnectionRole::Scan);
        exitProgram();
    });
    if (cl.demo)
        demo.configure(engine);
    if (cl.once || cl.demo) {
        // One circle: the demo then stays open to be looked at; --once ends the program.
        QObject::connect(&engine.circle(), &Circle::wouldWait, &engine, [&](bool error) {
            if (cl.demo)
                std::printf("Demo finished. Pictures are in %s\n", qPrintable(demo.pictureFolder()));
            std::fflush(stdout);
            if (cl.once) {
                exitCode = error ? 1 : 0;
                exitProgram();
            }
        });
        QTimer::singleShot(0, &engine, [&engine] { engine.circle().connectScan(); });
    }
    started = true;
    if (exitWanted)
        QTimer::singleShot(0, &engine, exitProgram);
    return QApplication::exec();
}

} // namespace kestrel
