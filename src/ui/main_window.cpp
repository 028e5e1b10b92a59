#include "ui/main_window.h"

#include "ui/about_box.h"
#include "ui/download_light.h"
#include "ui/elided_label.h"
#include "ui/help_window.h"
#include "ui/log_window.h"
#include "ui/pending_list_decorator.h"
#include "ui/screen_units.h"
#include "ui/ui_resources.h"

#include "base/context.h"
#include "scan/pending_list_model.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QShortcut>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QStyle>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>
#include <QWindow>

namespace kestrel {

namespace {

struct CounterDef {
    const char *name;
    const char *caption;
};

// In reading order: what was read, what the filters threw away, what was queued,
// what waits and what was decoded.
constexpr std::array<CounterDef, 9> kCounters{{
    {"lblSpeed", "Read:"},
    {"lblNottaJPG", "Not pic:"},
    {"lblKilledByLines", "Lines:"},
    {"lblDupe", "Dupes:"},
    {"lblSpam", "Spam:"},
    {"lblTooBig", "Too big:"},
    {"lblMCount", "Added:"},
    {"lblPending", "Pending:"},
    {"lblDecoded", "Decoded:"},
}};

QIcon themed(const char *themeName, QStyle::StandardPixmap fallback)
{
    return QIcon::fromTheme(QString::fromLatin1(themeName), QApplication::style()->standardIcon(fallback));
}

QFrame *separator()
{
    auto *line = new QFrame;
    line->setFrameShape(QFrame::VLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

} // namespace

MainWindow::MainWindow(Context &ctx, QWidget *parent) : QMainWindow(parent), m_ctx(ctx)
{
    initUiResources();
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Kestrel"));
    setWindowIcon(applicationIcon());

    auto *central = new QWidget(this);
    auto *column = new QVBoxLayout(central);
    column->setContentsMargins(4, 2, 4, 0);
    column->setSpacing(2);
    column->addWidget(buildButtonRow());
    column->addWidget(buildCounterRow());
    m_progressRow = buildProgressRow();
    column->addWidget(m_progressRow);

    m_list = new QTreeView(central);
    m_list->setObjectName(QStringLiteral("ListView1"));
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setAlternatingRowColors(true);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setAllColumnsShowFocus(true);
    m_list->header()->setStretchLastSection(false);
    // Any width of at least a millimetre must survive a save and a load.
    m_list->header()->setMinimumSectionSize(millimetresToPixels(1, horizontalDpi(*this)));
    // The bar size leaves no room for the list; it must be able to shrink to nothing.
    m_list->setMinimumHeight(1);
    m_emptyModel = new QStandardItemModel(0, int(kPendingColumns.size()), this);
    for (int c = 0; c < int(kPendingColumns.size()); ++c)
        m_emptyModel->setHeaderData(c, Qt::Horizontal, QString::fromLatin1(kPendingColumns[size_t(c)].title));
    m_decorator =
        new PendingListDecorator(PendingListModel::SmallIconRole, PendingListModel::GhostedRole, this);
    m_decorator->setSourceModel(m_emptyModel);
    m_list->setModel(m_decorator);
    column->addWidget(m_list, 1);
    // Takes the room of the list while the list is hidden at bar size.
    column->addStretch(0);
    setCentralWidget(central);

    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("lblCapX"));
    m_status->setTextFormat(Qt::PlainText);
    m_status->setMinimumWidth(1);
    m_status->setText(ctx.log.statusLine());
    statusBar()->addWidget(m_status, 1);
    statusBar()->setSizeGripEnabled(true);
    connect(&ctx.log, &OperationsLog::statusChanged, m_status, &QLabel::setText);

    setColumnWidths(defaultColumnWidths());

    m_logWindow = new LogWindow(ctx, this);
    mirrorDisplay();

    // F1 opens the help from every window of the program.
    auto *help = new QShortcut(QKeySequence::HelpContents, this);
    help->setContext(Qt::ApplicationShortcut);
    connect(help, &QShortcut::activated, this, &MainWindow::showHelp);

    setOuterSize(twipsToPixels(WidthTwips, horizontalDpi(*this)),
                 twipsToPixels(FullHeightTwips, verticalDpi(*this)));

    m_ctx.playSfx(QStringLiteral("startup.wav"));
}

MainWindow::~MainWindow()
{
    setBusyPointer(false);
}

std::array<int, 8> MainWindow::defaultColumnWidths()
{
    std::array<int, 8> widths{};
    for (size_t i = 0; i < widths.size(); ++i)
        widths[i] = kPendingColumns[i].defaultWidth;
    return widths;
}

void MainWindow::mirrorDisplay()
{
    const MainDisplay &d = m_ctx.display;
    auto showBar = [this, &d](int n) {
        const MainDisplay::Bar &b = d.bar(n);
        setProgressMaximum(n, b.maximum);
        setProgressValue(n, b.value);
        bar(n)->setVisible(b.visible);
    };
    setGroupText(d.groupText());
    for (int n = 1; n <= 3; ++n)
        showBar(n);
    setScanEnabled(d.scanEnabled());
    setDownloadBusy(d.downloadLightBusy());
    setBusyPointer(d.busy());
    for (const CounterDef &c : kCounters)
        setCounter(QString::fromLatin1(c.name), d.counter(QString::fromLatin1(c.name)));

    connect(&d, &MainDisplay::groupTextChanged, this, &MainWindow::setGroupText);
    connect(&d, &MainDisplay::barChanged, this, showBar);
    connect(&d, &MainDisplay::scanEnabledChanged, this, &MainWindow::setScanEnabled);
    connect(&d, &MainDisplay::downloadLightChanged, this, &MainWindow::setDownloadBusy);
    connect(&d, &MainDisplay::busyChanged, this, &MainWindow::setBusyPointer);
    connect(&d, &MainDisplay::counterChanged, this,
            [this](const QString &label, qint64 value) { setCounter(label, value); });
}

QWidget *MainWindow::buildButtonRow()
{
    auto *row = new QWidget;
    auto *h = new QHBoxLayout(row);
    h->setContentsMargins(0, 0, 0, 0);
    h->setSpacing(1);

    m_scan = addButton(h, "cmdScan", tr("&Scan"), QStringLiteral("Connect to News Server (start scan)"),
                       themed("media-playback-start", QStyle::SP_MediaPlay));
    connect(m_scan, &QAbstractButton::clicked, this, &MainWindow::scanClicked);
    connect(addButton(h, "Command1", tr("S&top Scan"),
                      QStringLiteral("Disconnect from News Server and stop scanning"),
                      themed("media-playback-stop", QStyle::SP_MediaStop)),
            &QAbstractButton::clicked, this, &MainWindow::stopScanClicked);
    connect(addButton(h, "Command2", tr("A&bort Download"), QStringLiteral("Abort Download"),
                      abortDownloadIcon()),
            &QAbstractButton::clicked, this, &MainWindow::abortDownloadClicked);
    h->addWidget(separator());

    connect(addButton(h, "cmdDelete", tr("&Delete"),
                      QStringLiteral("Remove selected articles from the download que"),
                      themed("edit-delete", QStyle::SP_TrashIcon)),
            &QAbstractButton::clicked, this, &MainWindow::deleteClicked);
    connect(addButton(h, "cmdMoveToTop", tr("Move to To&p"),
                      QStringLiteral("Move selected articles to top, so they will be downloaded first"),
                      themed("go-top", QStyle::SP_ArrowUp)),
            &QAbstractButton::clicked, this, &MainWindow::moveToTopClicked);
    connect(addButton(h, "cmdSearchSelect", tr("&Find"),
                      QStringLiteral("Find and select articles in the pending downloads list"),
                      themed("edit-find", QStyle::SP_FileDialogContentsView)),
            &QAbstractButton::clicked, this, &MainWindow::searchSelectClicked);
    h->addWidget(separator());

    auto *blacklist = new QLabel(tr("Blacklist:"));
    blacklist->setObjectName(QStringLiteral("lblBlacklist"));
    h->addSpacing(3);
    h->addWidget(blacklist);
    const QIcon none;
    connect(addButton(h, "cmdBLemail", tr("Email"),
                      QStringLiteral("Add Email address of selected article to blacklist"), none),
            &QAbstractButton::clicked, this, &MainWindow::blacklistEmailClicked);
    connect(addButton(h, "cmdBLorg", tr("Org"),
                      QStringLiteral("Add organization of selected article to blacklist"), none),
            &QAbstractButton::clicked, this, &MainWindow::blacklistOrgClicked);
    connect(addButton(h, "cmdBLphost", tr("Host"),
                      QStringLiteral("Add posting host of selected article to blacklist"), none),
            &QAbstractButton::clicked, this, &MainWindow::blacklistHostClicked);
    h->addStretch(1);

    connect(addButton(h, "Command5", tr("&Options"), QStringLiteral("Edit options"),
                      QIcon::fromTheme(QStringLiteral("preferences-system"), optionsIcon())),
            &QAbstractButton::clicked, this, &MainWindow::optionsClicked);
    connect(addButton(h, "cmdLog", tr("&Log"), QStringLiteral("View Log"),
                      themed("text-x-generic", QStyle::SP_FileDialogDetailedView)),
            &QAbstractButton::clicked, this, &MainWindow::showLog);
    connect(addButton(h, "cmdHelp", tr("&Help"), QStringLiteral("View Help"),
                      themed("help-contents", QStyle::SP_TitleBarContextHelpButton)),
            &QAbstractButton::clicked, this, &MainWindow::showHelp);
    // These three have no tool tip of their own; their caption says it, and an icon
    // without words needs one.
    QAbstractButton *about = addButton(h, "cmdAbout", tr("&About"), QString(),
                                       themed("help-about", QStyle::SP_MessageBoxInformation));
    about->setToolTip(tr("About Kestrel"));
    connect(about, &QAbstractButton::clicked, this, &MainWindow::showAbout);
    QAbstractButton *barSize = addButton(h, "cmdBarSize", tr("Bar Si&ze"), QString(),
                                         style()->standardIcon(QStyle::SP_TitleBarShadeButton));
    barSize->setToolTip(tr("Switch between bar and full size"));
    connect(barSize, &QAbstractButton::clicked, this, &MainWindow::toggleBarSize);
    QAbstractButton *exit = addButton(h, "cmdExit", tr("E&xit"), QString(), exitIcon());
    exit->setToolTip(tr("Exit Kestrel"));
    connect(exit, &QAbstractButton::clicked, this, [this] { Q_EMIT exitRequested(false); });
    return row;
}

QAbstractButton *MainWindow::addButton(QLayout *row, const char *name, const QString &caption,
                                       const QString &toolTip, const QIcon &icon)
{
    auto *b = new QToolButton;
    b->setObjectName(QString::fromLatin1(name));
    b->setText(caption);
    b->setToolTip(toolTip);
    b->setAutoRaise(true);
    if (icon.isNull()) {
        b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    } else {
        b->setIcon(icon);
        b->setIconSize(QSize(18, 18));
        b->setToolButtonStyle(Qt::ToolButtonIconOnly);
    }
    row->addWidget(b);
    return b;
}

QWidget *MainWindow::buildCounterRow()
{
    auto *row = new QWidget;
    auto *grid = new QGridLayout(row);
    grid->setContentsMargins(2, 0, 2, 0);
    grid->setHorizontalSpacing(3);
    grid->setVerticalSpacing(0);
    QFont bold = font();
    bold.setBold(true);
    // Busy groups pass ten thousand headers in one scan and the counts are never reset:
    // each value keeps room for nine digits, so it is never cut and the counters do not
    // move as they grow. Two rows leave that room at the standard width and at bar size;
    // when room runs short the captions give way, never the digits.
    const int valueWidth = QFontMetrics(bold).horizontalAdvance(QStringLiteral("000000000"));
    constexpr int perRow = int(kCounters.size() + 1) / 2;
    for (int i = 0; i < int(kCounters.size()); ++i) {
        const CounterDef &c = kCounters[size_t(i)];
        auto *caption = new ElidedLabel(QString::fromLatin1(c.caption));
        caption->setObjectName(QString::fromLatin1(c.name) + QLatin1String("Caption"));
        auto *value = new QLabel(QStringLiteral("0"));
        value->setObjectName(QString::fromLatin1(c.name));
        value->setMinimumWidth(valueWidth);
        value->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Preferred);
        value->setFont(bold);
        caption->setBuddy(value);
        const int column = (i % perRow) * 2;
        grid->addWidget(caption, i / perRow, column);
        grid->addWidget(value, i / perRow, column + 1);
        grid->setColumnStretch(column + 1, 1);
    }
    // Big counts may squeeze the captions, but never make the window wider than the bar.
    row->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    return row;
}

QWidget *MainWindow::buildProgressRow()
{
    auto *row = new QWidget;
    auto *h = new QHBoxLayout(row);
    h->setContentsMargins(2, 0, 2, 0);
    h->setSpacing(4);

    m_group = new QLabel(QStringLiteral("Press SCAN to start"));
    m_group->setObjectName(QStringLiteral("lblGroup"));
    m_group->setTextFormat(Qt::PlainText);
    m_group->setMinimumWidth(1);
    h->addWidget(m_group, 1);

    const int barHeight = fontMetrics().height() - 2;
    for (int i = 0; i < 3; ++i) {
        auto *b = new QProgressBar;
        b->setObjectName(QStringLiteral("ProgressBar%1").arg(i + 1));
        b->setTextVisible(false);
        b->setRange(0, 100);
        b->setValue(0);
        b->setFixedSize(80, barHeight);
        h->addWidget(b);
        m_bars[size_t(i)] = b;
    }
    m_bars[0]->setToolTip(tr("Newsgroups scanned"));
    m_bars[1]->setToolTip(tr("Articles read in this newsgroup"));
    m_bars[2]->setToolTip(tr("Article being downloaded"));
    m_bars[2]->setVisible(false);

    m_light = new DownloadLight;
    m_light->setObjectName(QStringLiteral("imgTestx"));
    m_light->setToolTip(QStringLiteral("Indicates DL status (red=busy) click here to force dl start"));
    connect(m_light, &DownloadLight::clicked, this, &MainWindow::downloadLightClicked);
    h->addWidget(m_light);
    return row;
}

void MainWindow::setPendingModel(QAbstractItemModel *model)
{
    // A new model resets the header's sections; the widths belong to the window.
    const std::array<int, 8> widths = columnWidths();
    m_decorator->setSourceModel(model ? model : m_emptyModel);
    setColumnWidths(widths);
}

QAbstractItemModel *MainWindow::pendingModel() const
{
    return m_decorator->sourceModel();
}

void MainWindow::setColumnWidths(const std::array<int, 8> &widths)
{
    const double dpi = horizontalDpi(*this);
    QHeaderView *header = m_list->header();
    for (int c = 0; c < int(widths.size()) && c < header->count(); ++c)
        header->resizeSection(c, millimetresToPixels(widths[size_t(c)], dpi));
}

std::array<int, 8> MainWindow::columnWidths() const
{
    const double dpi = horizontalDpi(*this);
    const QHeaderView *header = m_list->header();
    std::array<int, 8> widths{};
    for (int c = 0; c < int(widths.size()); ++c) {
        widths[size_t(c)] = c < header->count() ? pixelsToMillimetres(header->sectionSize(c), dpi)
                                                : kPendingColumns[size_t(c)].defaultWidth;
    }
    return widths;
}

QLabel *MainWindow::counterLabel(QStringView name) const
{
    for (const CounterDef &c : kCounters) {
        if (name == QLatin1String(c.name))
            return findChild<QLabel *>(QString::fromLatin1(c.name));
    }
    return nullptr;
}

bool MainWindow::setCounter(QStringView labelName, qint64 value)
{
    QLabel *label = counterLabel(labelName);
    if (!label)
        return false;
    label->setText(QString::number(value));
    return true;
}

QString MainWindow::counterText(QStringView labelName) const
{
    const QLabel *label = counterLabel(labelName);
    return label ? label->text() : QString();
}

void MainWindow::setGroupText(const QString &text)
{
    m_group->setText(text);
}

QString MainWindow::groupText() const
{
    return m_group->text();
}

QProgressBar *MainWindow::bar(int n) const
{
    Q_ASSERT(n >= 1 && n <= 3);
    return m_bars[size_t(qBound(1, n, 3) - 1)];
}

void MainWindow::setProgressMaximum(int n, int maximum)
{
    bar(n)->setMaximum(maximum);
}

void MainWindow::setProgressValue(int n, int value)
{
    bar(n)->setValue(value);
}

int MainWindow::progressMaximum(int n) const
{
    return bar(n)->maximum();
}

int MainWindow::progressValue(int n) const
{
    return bar(n)->value();
}

void MainWindow::setDownloadProgressVisible(bool visible)
{
    m_bars[2]->setVisible(visible);
}

void MainWindow::setDownloadBusy(bool busy)
{
    m_light->setBusy(busy);
}

bool MainWindow::downloadBusy() const
{
    return m_light->isBusy();
}

void MainWindow::setBusyPointer(bool busy)
{
    // The override cursors stack: one set, one restored, never more.
    if (busy == m_busyPointer)
        return;
    m_busyPointer = busy;
    if (busy)
        QApplication::setOverrideCursor(Qt::BusyCursor);
    else
        QApplication::restoreOverrideCursor();
}

void MainWindow::setScanEnabled(bool enabled)
{
    m_scan->setEnabled(enabled);
}

QMargins MainWindow::frameMargins() const
{
    const QWindow *w = windowHandle();
    return w ? w->frameMargins() : QMargins();
}

void MainWindow::setOuterSize(int width, int height)
{
    const QMargins m = frameMargins();
    resize(width - m.left() - m.right(), height - m.top() - m.bottom());
    // Before the first show the frame is unknown; the size is set again once it is.
    m_outerSizeBeforeShow = windowHandle() ? QSize() : QSize(width, height);
}

void MainWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (m_outerSizeBeforeShow.isValid() && !(windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)))
        setOuterSize(m_outerSizeBeforeShow.width(), m_outerSizeBeforeShow.height());
    m_outerSizeBeforeShow = QSize();
    fitListToWindow();
}

void MainWindow::toggleBarSize()
{
    const int barHeight = twipsToPixels(BarHeightTwips, verticalDpi(*this));
    const int fullHeight = twipsToPixels(FullHeightTwips, verticalDpi(*this));
    const int width = twipsToPixels(WidthTwips, horizontalDpi(*this));
    const bool wasEnlarged =
        windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen);
    if (wasEnlarged)
        setWindowState(windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen));
    const int height = frameGeometry().height();
    // A window whose controls need more room than the bar gives stops at its smallest
    // height; that height counts as the bar, or the button would never flip back.
    const bool atBar = !wasEnlarged && (height == barHeight || height == m_barHeightGot);
    setOuterSize(width, atBar ? fullHeight : barHeight);
    if (!atBar)
        m_barHeightGot = frameGeometry().height();
}

void MainWindow::centreOnScreen()
{
    const QScreen *s = screen() ? screen() : QGuiApplication::primaryScreen();
    const QRect area = s ? s->availableGeometry() : QRect(0, 0, 1024, 768);
    QRect outer = frameGeometry();
    outer.moveTopLeft(QPoint(area.x() + (area.width() - outer.width()) / 2,
                             area.y() + (area.height() - outer.height()) / 2));
    move(outer.topLeft());
    m_normalOuter = outer;
}

void MainWindow::applyPlacement(const WindowPlacement &p)
{
    if (!p.top) {
        centreOnScreen();
        return;
    }
    const double dpiX = horizontalDpi(*this);
    const double dpiY = verticalDpi(*this);
    QRect outer = frameGeometry();
    outer.moveTop(twipsToPixels(*p.top, dpiY));
    if (p.left)
        outer.moveLeft(twipsToPixels(*p.left, dpiX));
    if (p.width)
        outer.setWidth(twipsToPixels(*p.width, dpiX));
    if (p.height)
        outer.setHeight(twipsToPixels(*p.height, dpiY));
    setWindowState(windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen));
    move(outer.topLeft());
    setOuterSize(outer.width(), outer.height());
    m_normalOuter = frameGeometry();
    // A placement saved on a screen that is gone would leave the window out of reach.
    if (!QGuiApplication::screenAt(frameGeometry().center()))
        centreOnScreen();
    if (p.windowState) {
        if (*p.windowState == 2)
            setWindowState(windowState() | Qt::WindowMaximized);
        else if (*p.windowState == 1)
            setWindowState(windowState() | Qt::WindowMinimized);
    }
}

PlacementNow MainWindow::currentPlacement() const
{
    PlacementNow now;
    const Qt::WindowStates s = windowState();
    if (s & Qt::WindowMinimized)
        now.windowState = 1;
    else if (s & (Qt::WindowMaximized | Qt::WindowFullScreen))
        now.windowState = 2;
    const QRect outer = (now.windowState == 0 || !m_normalOuter.isValid()) ? frameGeometry() : m_normalOuter;
    const double dpiX = horizontalDpi(*this);
    const double dpiY = verticalDpi(*this);
    now.top = pixelsToTwips(outer.top(), dpiY);
    now.left = pixelsToTwips(outer.left(), dpiX);
    now.width = pixelsToTwips(outer.width(), dpiX);
    now.height = pixelsToTwips(outer.height(), dpiY);
    return now;
}

void MainWindow::rememberNormalGeometry()
{
    if (isVisible() && !(windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen)))
        m_normalOuter = frameGeometry();
}

void MainWindow::moveEvent(QMoveEvent *event)
{
    QMainWindow::moveEvent(event);
    rememberNormalGeometry();
}

void MainWindow::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    rememberNormalGeometry();
    fitListToWindow();
}

void MainWindow::fitListToWindow()
{
    if (!isVisible())
        return;
    // Below a header and a row the list is only clutter: the bar shows no list.
    const int room = centralWidget()->height() - m_progressRow->geometry().bottom();
    const int useful = 2 * m_list->header()->sizeHint().height() + 2 * m_list->frameWidth();
    m_list->setVisible(room >= useful);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (m_shuttingDown) {
        event->accept();
        return;
    }
    // The close box ends the program, but through the shutdown sequence, which saves
    // everything first; until it runs the window stays.
    event->ignore();
    Q_EMIT exitRequested(true);
}

void MainWindow::showLog()
{
    m_logWindow->show();
    m_logWindow->raise();
    m_logWindow->activateWindow();
}

void MainWindow::showHelp()
{
    if (!m_helpWindow)
        m_helpWindow = new HelpWindow(this);
    m_helpWindow->show();
    m_helpWindow->raise();
    m_helpWindow->activateWindow();
}

void MainWindow::showAbout()
{
    if (!m_aboutBox)
        m_aboutBox = new AboutBox(m_ctx, this);
    m_aboutBox->show();
    m_aboutBox->raise();
    m_aboutBox->activateWindow();
}

} // namespace kestrel
