#include "ui_fixture.h"

#include "ui/download_light.h"
#include "ui/list_icons.h"
#include "ui/main_window.h"
#include "ui/screen_units.h"

#include "scan/pending_list_model.h"

#include <QAbstractButton>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QStandardItemModel>
#include <QStyle>
#include <QTest>
#include <QToolButton>
#include <QTreeView>

#include "support/wait.h"

using namespace kestrel;
using kestrel::test::UiFixture;

namespace {

struct MainWindowTest : UiFixture {
    MainWindow win{ctx};

    int heightTwipsPx(double twips) const { return twipsToPixels(twips, verticalDpi(win)); }
    int widthTwipsPx(double twips) const { return twipsToPixels(twips, horizontalDpi(win)); }
};

TEST(ScreenUnits, ConversionsSurviveARoundTrip)
{
    const std::tuple<double, double, int> cases[] = {{1830, 96, 122},  {6180, 96, 412}, {9465, 96, 631},
                                                     {1440, 120, 120}, {7, 96, 0},      {8, 96, 1},
                                                     {1830, 144, 183}};
    for (const auto &[twips, dpi, pixels] : cases) {
        EXPECT_EQ(twipsToPixels(twips, dpi), pixels) << twips << " at " << dpi;
        EXPECT_EQ(twipsToPixels(pixelsToTwips(pixels, dpi), dpi), pixels);
    }
    for (double dpi : {72.0, 96.0, 120.0, 144.0, 192.0}) {
        for (int mm = 1; mm <= 400; ++mm)
            ASSERT_EQ(pixelsToMillimetres(millimetresToPixels(mm, dpi), dpi), mm) << mm << " at " << dpi;
    }
}

TEST_F(MainWindowTest, StartsWithTheGreetingAndTheStatusLineFollowsTheLog)
{
    // Sounds are on by default; the engine test checks that a loaded "off" is obeyed.
    EXPECT_EQ(ctx.sound.lastPlayed(), QStringLiteral("startup.wav"));
    EXPECT_TRUE(child<QProgressBar>(win, "ProgressBar3")->isHidden());
    EXPECT_EQ(win.pendingView()->model()->columnCount(), 8);
    for (const QString &msg : {QStringLiteral("Scan Initiated..."), QString()}) {
        ctx.writeLog(msg, false);
        EXPECT_EQ(labelText(win, "lblCapX"), msg);
    }
    ctx.writeLog(QStringLiteral("first line\r\nsecond"), true);
    EXPECT_EQ(labelText(win, "lblCapX"), "first line");
    // Names that are not counters are refused, and the lamp is red only when busy.
    EXPECT_FALSE(win.setCounter(u"lblCapX", 1));
    EXPECT_FALSE(win.setCounter(u"lblNottaJPGCaption", 1));
    EXPECT_EQ(labelText(win, "lblCapX"), "first line");
    for (bool busy : {false, true}) {
        const QColor centre = DownloadLight::lamp(busy, 16).toImage().pixelColor(8, 8);
        EXPECT_EQ(centre.red() > centre.green(), busy);
    }
}

TEST_F(MainWindowTest, ButtonsForwardTheirClicks)
{
    const std::pair<const char *, void (MainWindow::*)()> forwarded[] = {
        {"cmdScan", &MainWindow::scanClicked},
        {"Command1", &MainWindow::stopScanClicked},
        {"Command2", &MainWindow::abortDownloadClicked},
        {"cmdDelete", &MainWindow::deleteClicked},
        {"cmdMoveToTop", &MainWindow::moveToTopClicked},
        {"cmdSearchSelect", &MainWindow::searchSelectClicked},
        {"cmdBLemail", &MainWindow::blacklistEmailClicked},
        {"cmdBLorg", &MainWindow::blacklistOrgClicked},
        {"cmdBLphost", &MainWindow::blacklistHostClicked},
        {"Command5", &MainWindow::optionsClicked},
    };
    QStringList fired;
    for (const auto &[name, signal] : forwarded)
        QObject::connect(&win, signal, &win, [&fired, n = name] { fired << QString::fromLatin1(n); });
    for (const auto &[name, signal] : forwarded) {
        fired.clear();
        click(win, name);
        EXPECT_EQ(fired, QStringList{QString::fromLatin1(name)});
    }

    QObject::connect(&win, &MainWindow::downloadLightClicked, &win, [&] { fired << "light"; });
    fired.clear();
    auto *light = child<DownloadLight>(win, "imgTestx");
    QTest::mouseClick(light, Qt::LeftButton, {}, light->rect().center());
    EXPECT_EQ(fired, QStringList{"light"});
}

QImage iconImage(const QIcon &icon)
{
    return icon.pixmap(18, 18).toImage().convertToFormat(QImage::Format_ARGB32);
}

// Each action is told apart by its icon; the caption stays reachable as the tool tip.
// Abort Download and Exit must not fall back on the crosses that themes and styles
// offer for "stop" and "close", which look alike side by side.
TEST_F(MainWindowTest, EveryButtonShowsAnIconOfItsOwn)
{
    QList<QPair<QString, QImage>> seen;
    for (const QToolButton *b : win.findChildren<QToolButton *>()) {
        if (b->icon().isNull())
            continue;
        EXPECT_FALSE(b->toolTip().isEmpty()) << b->objectName().toStdString();
        const QImage image = iconImage(b->icon());
        for (const auto &[other, otherImage] : std::as_const(seen))
            EXPECT_NE(image, otherImage)
                << b->objectName().toStdString() << " looks like " << other.toStdString();
        seen.append({b->objectName(), image});
    }
    EXPECT_GE(seen.size(), 12);

    QList<QImage> crosses;
    for (const QStyle::StandardPixmap sp : {QStyle::SP_BrowserStop, QStyle::SP_DialogCloseButton,
                                            QStyle::SP_TitleBarCloseButton, QStyle::SP_DialogCancelButton})
        crosses << iconImage(win.style()->standardIcon(sp));
    for (const char *theme : {"process-stop", "application-exit", "window-close", "dialog-cancel"}) {
        if (QIcon::hasThemeIcon(QLatin1String(theme)))
            crosses << iconImage(QIcon::fromTheme(QLatin1String(theme)));
    }
    const std::pair<const char *, const char *> actions[] = {{"Command2", "Abort Download"},
                                                             {"cmdExit", "Exit Kestrel"}};
    for (const auto &[name, tip] : actions) {
        const QToolButton *b = child<QToolButton>(win, name);
        EXPECT_EQ(b->toolTip(), QLatin1String(tip));
        EXPECT_FALSE(crosses.contains(iconImage(b->icon()))) << name;
    }
}

// Busy groups pass ten thousand headers in one scan and the counters are never reset:
// every counter up to nine digits must show whole at the standard size and at bar size.
TEST_F(MainWindowTest, NineDigitCountersShowWholeAtStandardAndBarSize)
{
    const char *names[] = {"lblSpeed",  "lblNottaJPG", "lblKilledByLines", "lblDupe",   "lblSpam",
                           "lblTooBig", "lblMCount",   "lblPending",       "lblDecoded"};
    win.show();
    for (const bool bar : {false, true}) {
        if (bar)
            click(win, "cmdBarSize");
        ASSERT_EQ(win.frameGeometry().width(), widthTwipsPx(9465));
        for (const char *name : names)
            ctx.display.setCounter(QString::fromLatin1(name), 999999999);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        const QRect inside = win.centralWidget()->rect();
        for (const char *name : names) {
            SCOPED_TRACE(std::string(name) + (bar ? " at bar size" : " at standard size"));
            const QLabel *value = child<QLabel>(win, name);
            ASSERT_EQ(value->text(), QStringLiteral("999999999"));
            EXPECT_GE(value->contentsRect().width(), value->fontMetrics().horizontalAdvance(value->text()));
            const QRect shown(value->mapTo(win.centralWidget(), QPoint(0, 0)), value->size());
            EXPECT_TRUE(inside.contains(shown))
                << shown.x() << "+" << shown.width() << " of " << inside.width();
            EXPECT_TRUE(value->isVisible());
        }
    }
}

TEST_F(MainWindowTest, ListShowsSmallIconsAndGreysGhostedEntries)
{
    QStandardItemModel model(3, 8);
    for (const auto &[r, icon] : {std::pair{0, 3}, {1, 1}, {2, 7}}) {
        model.setData(model.index(r, 0), icon, PendingListModel::SmallIconRole);
        model.setData(model.index(r, 0), r == 1, PendingListModel::GhostedRole);
    }
    win.setPendingModel(&model);
    const QAbstractItemModel *shown = win.pendingView()->model();
    const auto data = [shown](int r, int c, int role) { return shown->data(shown->index(r, c), role); };
    EXPECT_FALSE(data(0, 0, Qt::DecorationRole).value<QIcon>().isNull());
    EXPECT_FALSE(data(0, 1, Qt::DecorationRole).isValid());
    EXPECT_FALSE(data(2, 0, Qt::DecorationRole).isValid());
    EXPECT_FALSE(data(0, 0, Qt::ForegroundRole).isValid());
    EXPECT_TRUE(data(1, 0, Qt::ForegroundRole).isValid());

    // Picture, GIF and CSV entries are told apart; unknown indexes have no icon.
    QList<QImage> seen;
    for (int i = 1; i <= 3; ++i) {
        EXPECT_FALSE(seen.contains(smallListIcon(i).pixmap(16, 16).toImage())) << i;
        seen << smallListIcon(i).pixmap(16, 16).toImage();
    }
    EXPECT_TRUE(smallListIcon(0).isNull());
    EXPECT_TRUE(smallListIcon(4).isNull());
}

TEST_F(MainWindowTest, BarSizeFlipsBetweenBarAndFullHeight)
{
    win.resize(700, 500);
    win.show();
    for (int h : {heightTwipsPx(1830), heightTwipsPx(6180), heightTwipsPx(1830)}) {
        click(win, "cmdBarSize");
        EXPECT_EQ(win.frameGeometry().height(), h);
        EXPECT_EQ(win.frameGeometry().width(), widthTwipsPx(9465));
        // The bar holds buttons, counters and status lines; full size shows the list.
        EXPECT_EQ(win.pendingView()->isVisible(), h == heightTwipsPx(6180));
    }

    // From a maximised window the bar size still applies, to the normal window.
    win.showMaximized();
    ASSERT_TRUE(kestrel::test::waitUntil([&] { return win.isMaximized(); }));
    click(win, "cmdBarSize");
    EXPECT_FALSE(win.isMaximized());
    EXPECT_EQ(win.frameGeometry().height(), heightTwipsPx(1830));

    // A window that cannot get that small stops where it can and flips back from there.
    click(win, "cmdBarSize");
    const int smallest = heightTwipsPx(1830) + 40;
    win.setMinimumHeight(smallest - (win.frameGeometry().height() - win.height()));
    click(win, "cmdBarSize");
    EXPECT_EQ(win.frameGeometry().height(), smallest);
    click(win, "cmdBarSize");
    EXPECT_EQ(win.frameGeometry().height(), heightTwipsPx(6180));
}

TEST_F(MainWindowTest, PlacementSurvivesSaveAndLoad)
{
    for (const WindowPlacement &p :
         {WindowPlacement{1500, 3000, 9465, 6180, 0}, WindowPlacement{1200, 2400, 10005, 7005, 2},
          WindowPlacement{15, 30, 9000, 5000, 0}}) {
        MainWindow w(ctx);
        w.applyPlacement(p);
        w.show();
        ASSERT_TRUE(kestrel::test::waitUntil([&] { return w.isMaximized() == (p.windowState == 2); }));
        const PlacementNow now = w.currentPlacement();
        EXPECT_EQ(now.windowState, *p.windowState);
        // Within one pixel of what was asked; a maximised window reports its normal edges.
        const double px = pixelsToTwips(1, verticalDpi(w));
        EXPECT_NEAR(now.top, *p.top, px);
        EXPECT_NEAR(now.left, *p.left, px);
        EXPECT_NEAR(now.width, *p.width, px);
        EXPECT_NEAR(now.height, *p.height, px);
    }
}

TEST_F(MainWindowTest, MissingTopOrAPlaceOffEveryScreenCentresTheWindow)
{
    WindowPlacement missingTop;
    missingTop.left = 0;
    missingTop.width = 3000;
    missingTop.windowState = 2;
    for (const WindowPlacement &p : {missingTop, WindowPlacement{3000000, 3000000, 9465, 6180, 0}}) {
        MainWindow w(ctx);
        w.applyPlacement(p);
        const QRect outer = w.frameGeometry();
        EXPECT_LE((outer.center() - w.screen()->availableGeometry().center()).manhattanLength(), 2);
        EXPECT_EQ(outer.size(), QSize(widthTwipsPx(9465), heightTwipsPx(6180)));
        EXPECT_FALSE(w.windowState() & Qt::WindowMaximized);
    }
}

TEST_F(MainWindowTest, ColumnWidthsSurviveSaveLoadAndAModelChange)
{
    EXPECT_EQ(win.columnWidths(), (std::array<int, 8>{60, 19, 150, 40, 40, 40, 60, 20}));

    const std::array<int, 8> chosen{33, 5, 201, 17, 64, 90, 12, 300};
    win.setColumnWidths(chosen);
    EXPECT_EQ(win.columnWidths(), chosen);

    QStandardItemModel model(2, 8);
    win.setPendingModel(&model);
    EXPECT_EQ(win.columnWidths(), chosen);

    // A width the user dragged to some pixel count reads back the same after a reload.
    win.pendingView()->header()->resizeSection(2, 317);
    const auto dragged = win.columnWidths();
    win.setColumnWidths(dragged);
    EXPECT_EQ(win.columnWidths(), dragged);
}

TEST_F(MainWindowTest, CloseBoxAsksToExitAndTheWindowStays)
{
    std::vector<bool> requests;
    QObject::connect(&win, &MainWindow::exitRequested, &win,
                     [&](bool fromBox) { requests.push_back(fromBox); });
    win.show();
    EXPECT_FALSE(win.close());
    EXPECT_TRUE(win.isVisible());
    click(win, "cmdExit");
    EXPECT_EQ(requests, (std::vector<bool>{true, false}));

    win.setShutdownInProgress(true);
    EXPECT_TRUE(win.close());
    EXPECT_EQ(requests.size(), 2u);
}

} // namespace
