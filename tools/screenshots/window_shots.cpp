// Draws the options window (one picture per tab) and the group manager with sample
// contents into PNGs for the documentation:
//   QT_QPA_PLATFORM=offscreen kestrel_ui_window_screenshots docs
// writes docs/options-<tab>.png for the six tabs and docs/group-manager.png.

#include "ui/group_manager_window.h"
#include "ui/options_window.h"

#include "base/context.h"
#include "groups/group_manager.h"
#include "nntp/login.h"
#include "scan/blacklist.h"
#include "scan/dupe_paths.h"
#include "scan/favourites.h"
#include "scan/noredl_list.h"

#include <QApplication>
#include <QFile>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>

#include <cstdio>
#include <functional>

using namespace kestrel;

namespace {

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
}

// The lists of a user who has been running the program for a while.
void writeSampleLists(const QString &home)
{
    writeFile(home + QStringLiteral("/favs.txt"), "alt.binaries.pictures.birds,48211,False\r\n"
                                                  "alt.binaries.pictures.landscapes,1130422,False\r\n"
                                                  "alt.binaries.pictures.architecture,99120,False\r\n"
                                                  "alt.binaries.pictures.boats,,True\r\n"
                                                  "rec.photo.marketplace,7712,False\r\n");
    writeFile(home + QStringLiteral("/BLKLIST.TXT"), "spammer@example.com\r\nbulk-poster.example.net\r\n"
                                                     "Free Pics Inc.\r\n\r\n");
    writeFile(home + QStringLiteral("/DUPEPATH.TXT"),
              "/home/robin/Pictures/Usenet/\r\n/home/robin/Pictures/Archive 2025/\r\n");
    QByteArray noredl;
    for (int i = 0; i < 1800; ++i)
        noredl += "picture_" + QByteArray::number(i) + ".jpg\r\n";
    writeFile(home + QStringLiteral("/NOREDL.TXT"), noredl);
    QByteArray groups = "215 list of newsgroups follows\r\n";
    const char *names[] = {"alt.binaries.pictures.aviation",
                           "alt.binaries.pictures.birds",
                           "alt.binaries.pictures.boats",
                           "alt.binaries.pictures.cats",
                           "alt.binaries.pictures.landscapes",
                           "alt.binaries.pictures.nature",
                           "alt.binaries.pictures.trains",
                           "alt.binaries.sounds.mp3",
                           "comp.graphics.misc",
                           "rec.pictures.birds"};
    qint64 last = 48211;
    for (const char *name : names) {
        groups += QByteArray(name) + ' ' + QByteArray::number(last) + ' ' +
                  QByteArray::number(last - 812 - last / 9) + " y\r\n";
        last = last * 7 % 99991 + 1200;
    }
    for (int i = 0; i < 1500; ++i)
        groups += "alt.binaries.misc.topic" + QByteArray::number(i) + " 2000 1000 y\r\n";
    writeFile(home + QStringLiteral("/HOSTGRPS.TXT"), groups + ".\r\n");
}

void fillFavouriteColumns(FavouritesModel &favs)
{
    const char *columns[][4] = {{"312", "48523", "40102", "08421"},
                                {"1507", "1131929", "1120400", "11529"},
                                {"0", "99120", "91003", "08117"},
                                {"", "", "", ""},
                                {"44", "7756", "7001", "00755"}};
    for (int r = 0; r < favs.rowCount() && r < 5; ++r) {
        favs.setSubItem(r, FavUnread, columns[r][0]);
        favs.setSubItem(r, FavFirst, columns[r][2]);
        favs.setSubItem(r, FavLast, columns[r][1]);
        favs.setSubItem(r, FavTotal, columns[r][3]);
    }
}

// Runs the steps one after another from the event loop, each after the window has had
// time to lay itself out and paint.
void runSteps(QList<std::function<void()>> steps)
{
    if (steps.isEmpty()) {
        QApplication::exit(0);
        return;
    }
    QTimer::singleShot(150, qApp, [steps]() mutable {
        const std::function<void()> step = steps.takeFirst();
        step();
        runSteps(steps);
    });
}

bool save(QWidget &w, const QString &path)
{
    const bool ok = w.grab().save(path);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    return ok;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: kestrel_ui_window_screenshots <folder>\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    QTemporaryDir home;
    writeSampleLists(home.path());
    Context ctx(home.path());
    ctx.settings.setText(u"lblDownloadPath", QStringLiteral("/home/robin/Pictures/Usenet/"));
    ctx.settings.setText(u"lblCSVpath", QStringLiteral("/home/robin/Pictures/CSV/"));
    ctx.settings.setChecked(u"chkBLemail", true);
    ctx.settings.setChecked(u"chkMakeSubDirs", true);

    FavouritesModel favs(ctx);
    favs.loadFavs();
    fillFavouriteColumns(favs);
    favs.setGhosted(3, true);
    NoRedlList noRedl(ctx);
    noRedl.loadNoRedl();
    DupePaths dupes(ctx);
    dupes.loadDupePaths();
    Blacklist blacklist(ctx);
    blacklist.loadBlacklist();
    OptionsWindow options(ctx, {favs, noRedl, dupes, blacklist});
    auto *tabs = options.findChild<QTabWidget *>(QStringLiteral("TabStrip1"));
    options.show();

    Login login(ctx);
    GroupManagerWindow manager(ctx, login, favs);

    bool ok = true;
    QList<std::function<void()>> steps;
    const char *tabFiles[] = {"newsgroups", "duplicates", "anti-spam", "download", "scan", "csv"};
    for (int i = 0; i < 6; ++i) {
        steps << [tabs, i] { tabs->setCurrentIndex(i); };
        steps << [&, i] {
            ok &= save(options, out + QStringLiteral("/options-%1.png").arg(QLatin1String(tabFiles[i])));
        };
    }
    steps << [&] {
        options.hide();
        manager.show();
        manager.findChild<QLineEdit *>(QStringLiteral("txtQR"))->setText(QStringLiteral("pictures"));
        manager.findChild<QPushButton *>(QStringLiteral("cmdQR"))->click();
    };
    steps << [&] {
        // Two results picked, one of them added to the favourites already.
        auto *view = manager.findChild<QTreeView *>(QStringLiteral("ListView1"));
        const auto pick = [view](int row) {
            view->selectionModel()->select(view->model()->index(row, 0),
                                           QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        };
        pick(1);
        manager.findChild<QPushButton *>(QStringLiteral("cmdAdd"))->click();
        pick(4);
        view->selectionModel()->select(view->model()->index(5, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
    };
    steps << [&] { ok &= save(manager, out + QStringLiteral("/group-manager.png")); };
    runSteps(steps);
    app.exec();
    return ok ? 0 : 1;
}
