#include "app/window_wiring.h"

#include "circle/circle.h"
#include "engine/engine.h"
#include "ui/add_group_dialog.h"
#include "ui/group_manager_window.h"
#include "ui/login_window.h"
#include "ui/main_window.h"
#include "ui/newsgroups_file_picker.h"
#include "ui/options_window.h"
#include "ui/pending_list_view.h"

namespace kestrel {

namespace {

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

} // namespace

void wireWindows(MainWindow &w, Engine &engine)
{
    Context &ctx = engine.context();
    Windows made;
    made.pending = new PendingListView(w, engine.pending());
    made.login = new LoginWindow(ctx.settings, &w);
    made.options = new OptionsWindow(
        ctx, {engine.favourites(), engine.noRedl(), engine.dupePaths(), engine.blacklist()}, &w);
    OptionsWindow *options = made.options;
    LoginWindow *login = made.login;
    QObject::connect(&w, &MainWindow::optionsClicked, options, [options] { showWindow(options); });
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
        showWindow(login);
    });
    wireCircle(w, made, engine.circle(), openAddGroup);
}

} // namespace kestrel
