#include "ui_fixture.h"

#include "ui/main_window.h"
#include "ui/wait_window.h"
#include "ui/widget_front_end.h"

#include "base/ini_file.h"
#include "decode/csv_index.h"
#include "engine/engine.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QTest>

#include "support/wait.h"

using namespace kestrel;
using kestrel::test::UiFixture;

namespace {

using DisplayMirror = UiFixture;

TEST_F(DisplayMirror, MainWindowFollowsTheEnginesDisplay)
{
    // State set before the window exists shows when it is created.
    ctx.display.setCounter(QStringLiteral("lblPending"), 12);
    ctx.display.setGroupText(QString());
    MainWindow win(ctx);
    EXPECT_EQ(labelText(win, "lblPending"), "12");
    EXPECT_EQ(labelText(win, "lblGroup"), QString());
    // Every counter's label follows it: the main window test sets each one.
    ctx.display.setGroupText(QStringLiteral("1412 new articles in alt.binaries.pictures.birds"));
    EXPECT_EQ(labelText(win, "lblGroup"), "1412 new articles in alt.binaries.pictures.birds");

    for (int n = 1; n <= 3; ++n) {
        ctx.display.setBarMaximum(n, 660);
        ctx.display.setBarValue(n, 500 + n);
        ctx.display.setBarVisible(n, true);
        auto *bar = child<QProgressBar>(win, QByteArray("ProgressBar" + QByteArray::number(n)).constData());
        EXPECT_EQ(std::tuple(bar->maximum(), bar->value(), bar->isHidden()), std::tuple(660, 500 + n, false))
            << n;
    }
    ctx.display.setBarVisible(3, false);
    EXPECT_TRUE(child<QProgressBar>(win, "ProgressBar3")->isHidden());

    ctx.display.setScanEnabled(false);
    EXPECT_FALSE(child<QAbstractButton>(win, "cmdScan")->isEnabled());
    ctx.display.setDownloadLightBusy(true);
    EXPECT_TRUE(win.downloadBusy());
    ctx.display.setDownloadLightBusy(false);
    EXPECT_FALSE(win.downloadBusy());
}

TEST_F(DisplayMirror, BusyPointerShowsWhileTheDisplayIsBusy)
{
    {
        MainWindow win(ctx);
        ctx.display.setBusy(true);
        ASSERT_NE(QApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::BusyCursor);
        ctx.display.setBusy(false);
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        ctx.display.setBusy(true);
    }
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "a closed window leaves no busy pointer";
    ctx.display.setBusy(false);
}

struct FrontEndRun : ::testing::Test {
    kestrel::test::TempProgramFolder dir;
    ManualClock clock;
    RecordingPrompter prompter;
};

TEST_F(FrontEndRun, StartupShowsTheSavedPlacementAndShutdownKeepsIt)
{
    dir.write(QStringLiteral("KESTREL.INI"),
              "[Sizing]\r\nWindowState=2\r\nTop=1500\r\nLeft=3000\r\nHeight=6180\r\nWidth=9465\r\n"
              "[Columns]\r\nC1=70\r\nC2=21\r\nC3=120\r\nC4=35\r\nC5=36\r\nC6=37\r\nC7=80\r\nC8=15\r\n");
    Engine engine(dir.path(), &clock, &prompter);
    WidgetFrontEnd fe(engine.context());
    engine.context().writeLog(QStringLiteral("left over from loading"), false);
    engine.startUp(fe);

    MainWindow *win = fe.mainWindow();
    ASSERT_NE(win, nullptr);
    EXPECT_EQ(fe.waitWindow(), nullptr);
    ASSERT_TRUE(kestrel::test::waitUntil([&] { return win->isVisible() && win->isMaximized(); }));
    EXPECT_EQ(UiFixture::labelText(*win, "lblCapX"), QString());
    EXPECT_EQ(win->columnWidths(), (std::array<int, 8>{70, 21, 120, 35, 36, 37, 80, 15}));

    engine.exitProgram(fe);
    EXPECT_FALSE(win->isVisible());
    // Maximised at exit: the normal placement of the last normal exit stays.
    const IniFile ini(dir.file(QStringLiteral("KESTREL.INI")));
    for (const auto &[section, key, value] : {std::tuple{"Sizing", "WindowState", "2"},
                                              {"Sizing", "Top", "1500"},
                                              {"Sizing", "Width", "9465"},
                                              {"Columns", "C1", "70"},
                                              {"Columns", "C8", "15"}})
        EXPECT_EQ(ini.read(section, key), value) << key;
}

// Posts Esc to the wait window as soon as it shows, as the window system would deliver
// a key pressed then: queued, not handed over at once.
struct EscPostedFrontEnd final : WidgetFrontEnd {
    using WidgetFrontEnd::WidgetFrontEnd;
    void showWait() override
    {
        WidgetFrontEnd::showWait();
        QCoreApplication::postEvent(waitWindow(),
                                    new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    }
};

TEST_F(FrontEndRun, EscPostedDuringTheCsvLoadStopsIt)
{
    for (int i = 0; i < 4; ++i)
        dir.write(QStringLiteral("CSV/set%1_x_index.CSV").arg(i),
                  "PIC" + QByteArray::number(i) + ".JPG,1,0,x\r\n");
    Engine engine(dir.path(), &clock, &prompter);
    EscPostedFrontEnd fe(engine.context());
    engine.startUp(fe);
    EXPECT_TRUE(fe.waitAbortRequested());
    // The load looks at the input after each file: the first is in, the rest are not.
    EXPECT_FALSE(engine.csvIndex().csvFindRecord("PIC0.JPG").isEmpty());
    for (const char *later : {"PIC1.JPG", "PIC2.JPG", "PIC3.JPG"})
        EXPECT_TRUE(engine.csvIndex().csvFindRecord(later).isEmpty()) << later;
}

TEST_F(FrontEndRun, EscInTheWaitWindowIsRememberedAfterItCloses)
{
    Engine engine(dir.path(), &clock, &prompter);
    WidgetFrontEnd fe(engine.context());
    fe.setWaitMaximum(10);
    fe.showWait();
    ASSERT_NE(fe.waitWindow(), nullptr);
    QTest::keyClick(fe.waitWindow(), Qt::Key_A);
    EXPECT_FALSE(fe.waitAbortRequested()) << "only Esc aborts";
    QTest::keyClick(fe.waitWindow(), Qt::Key_Escape);
    EXPECT_TRUE(fe.waitAbortRequested());
    fe.createMainWindow();
    fe.showMainWindow();
    EXPECT_EQ(fe.waitWindow(), nullptr);
    EXPECT_TRUE(fe.waitAbortRequested());
    // Late progress calls after the wait window is gone are ignored, not a new window.
    fe.setWaitProgress(10);
    EXPECT_EQ(fe.waitWindow(), nullptr);
}

} // namespace
