// Draws the main window with sample contents into a PNG for the documentation:
//   QT_QPA_PLATFORM=offscreen kestrel_ui_screenshot docs/main-window.png [bar.png]
// The second file, when given, shows the window at bar size.

#include "ui/main_window.h"

#include "base/context.h"
#include "base/format_speed.h"
#include "scan/pending_list_model.h"

#include <QApplication>
#include <QDateTime>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

using namespace kestrel;

namespace {

void fillSampleRows(QStandardItemModel &model)
{
    const char *rows[][5] = {
        {"harbour_dawn.jpg", "01234", "Harbour at dawn - harbour_dawn.jpg (1/1)", "gull@example.net", "1"},
        {"kestrel_hover.jpg", "02210", "Kestrel hovering \"kestrel_hover.jpg\" yEnc (1/1)",
         "falco@example.org", "3"},
        {"old_mill.gif", "00880", "Old mill in winter [1/1] - \"old_mill.gif\"", "miller@example.org", "2"},
        {"!Duplicate", "00912", "Lighthouse - lighthouse.jpg", "keeper@example.net", "1"},
    };
    for (const auto &r : rows) {
        QList<QStandardItem *> items;
        for (const char *cell :
             {r[0], r[1], r[2], "Example Net", "news.example.net", r[3], "alt.binaries.pictures", "01"})
            items << new QStandardItem(QString::fromUtf8(cell));
        items[0]->setData(QByteArray(r[4]).toInt(), PendingListModel::SmallIconRole);
        for (QStandardItem *item : items)
            item->setData(r[0][0] == '!', PendingListModel::GhostedRole);
        model.appendRow(items);
    }
    for (int c = 0; c < 8; ++c)
        model.setHeaderData(c, Qt::Horizontal, QString::fromLatin1(kPendingColumns[size_t(c)].title));
}

void fillSampleDisplay(Context &ctx)
{
    const std::pair<const char *, int> counters[] = {
        {"lblSpeed", 1834}, {"lblNottaJPG", 1211}, {"lblKilledByLines", 402}, {"lblDupe", 87},
        {"lblSpam", 131},   {"lblMCount", 3},      {"lblPending", 3},         {"lblDecoded", 12},
    };
    for (const auto &[name, value] : counters)
        ctx.display.setCounter(QString::fromLatin1(name), value);
    ctx.display.setGroupText(QStringLiteral("1412 new articles in alt.binaries.pictures.birds"));
    ctx.display.setBarMaximum(1, 6);
    ctx.display.setBarValue(1, 4);
    ctx.display.setBarValue(2, 64);
    ctx.display.setBarVisible(3, true);
    ctx.display.setBarValue(3, 30);
    ctx.display.setDownloadLightBusy(true);
    // The progress line as the download session writes it, made by the same formatting
    // code: 48,213 bytes after 154 ms.
    const qint64 bytes = 48213;
    ctx.writeLog(QStringLiteral("Downloading: kestrel_hover.jpg ") + formatKb(bytes) +
                     QStringLiteral("kb [") + formatSpeed(154, bytes) + QStringLiteral(" Kbps]"),
                 false);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: kestrel_ui_screenshot full.png [bar.png]\n");
        return 2;
    }
    QTemporaryDir home;
    Context ctx(home.path());
    QStandardItemModel model(0, 8);
    fillSampleRows(model);
    fillSampleDisplay(ctx);
    MainWindow win(ctx);
    win.setPendingModel(&model);
    win.show();

    int status = 0;
    // Grab once the window has been laid out and painted by the event loop. exit(), not
    // quit(): the main window refuses to be closed outside the shutdown sequence.
    QTimer::singleShot(100, &win, [&] {
        if (!win.grab().save(QString::fromLocal8Bit(argv[1])))
            status = 1;
        if (argc > 2) {
            win.toggleBarSize();
            QTimer::singleShot(100, &win, [&] {
                if (!win.grab().save(QString::fromLocal8Bit(argv[2])))
                    status = 1;
                QApplication::exit(status);
            });
            return;
        }
        QApplication::exit(status);
    });
    app.exec();
    return status;
}
