#pragma once

#include "base/front_end.h"
#include "base/settings_file.h"

#include <QMainWindow>
#include <QPointer>

#include <array>

class QAbstractButton;
class QAbstractItemModel;
class QLabel;
class QProgressBar;
class QStandardItemModel;
class QTreeView;

namespace kestrel {

class AboutBox;
class Context;
class DownloadLight;
class HelpWindow;
class LogWindow;
class PendingListDecorator;

// The program's main window (frmMain): the pending list, the counters, the progress
// bars, the status lines, the download light and the buttons. It mirrors the context's
// MainDisplay and status line and forwards clicks as signals; the log, help and about
// windows it opens itself. The setters below are what the mirror uses.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    // Window heights and width of the bar-size button, in twips.
    static constexpr double BarHeightTwips = 1830;
    static constexpr double FullHeightTwips = 6180;
    static constexpr double WidthTwips = 9465;

    // Plays "startup.wav": the settings must be loaded before the window is created.
    explicit MainWindow(Context &ctx, QWidget *parent = nullptr);
    ~MainWindow() override;

    // The pending list. Until a model is set it shows an empty model with the eight
    // column titles. The view does not take ownership of the model. It shows the model
    // through a proxy with the same rows and columns that adds the small icons
    // (PendingListModel::SmallIconRole) and greys ghosted entries (GhostedRole).
    QTreeView *pendingView() const { return m_list; }
    void setPendingModel(QAbstractItemModel *model);
    QAbstractItemModel *pendingModel() const;

    // Column widths of the pending list, in millimetres of the screen.
    static std::array<int, 8> defaultColumnWidths();
    void setColumnWidths(const std::array<int, 8> &widths);
    std::array<int, 8> columnWidths() const;

    // Counters by the name of their label: lblNottaJPG, lblKilledByLines, lblDupe,
    // lblSpam, lblTooBig, lblPending, lblDecoded, lblSpeed, lblMCount. The number is shown
    // trimmed. Returns false for an unknown name.
    bool setCounter(QStringView labelName, qint64 value);
    QString counterText(QStringView labelName) const;

    // lblGroup: the group progress and the scan connection's state texts.
    void setGroupText(const QString &text);
    QString groupText() const;

    // Progress bars 1 to 3 (groups, articles in the group, article bytes / decode).
    // Values outside the bar's range are ignored, as the bar does.
    void setProgressMaximum(int bar, int maximum);
    void setProgressValue(int bar, int value);
    int progressMaximum(int bar) const;
    int progressValue(int bar) const;
    // ProgressBar3 is shown only while a download runs.
    void setDownloadProgressVisible(bool visible);

    // The download light: red while busy, green when idle.
    void setDownloadBusy(bool busy);
    bool downloadBusy() const;

    // The busy pointer (arrow with hourglass) over the whole program while on.
    void setBusyPointer(bool busy);

    // cmdScan is disabled while a connection is opened or a download runs.
    void setScanEnabled(bool enabled);

    // Placement in twips. A missing top centres the window and nothing else is read;
    // otherwise the normal placement is set first and the state after it. A window
    // whose centre would be on no screen is centred instead.
    void applyPlacement(const WindowPlacement &placement);
    // The state and the normal-state outer edges, in twips.
    PlacementNow currentPlacement() const;

    // After this the close box closes the window without asking to exit again (used
    // once the shutdown sequence runs).
    void setShutdownInProgress(bool on) { m_shuttingDown = on; }

    LogWindow *logWindow() const { return m_logWindow; }

public Q_SLOTS:
    // Width 9465 twips; height 1830 twips (the bar) unless it is at the bar height
    // already, then 6180 (full size).
    void toggleBarSize();
    void showLog();
    void showHelp();
    void showAbout();

Q_SIGNALS:
    void scanClicked();           // cmdScan
    void stopScanClicked();       // Command1
    void abortDownloadClicked();  // Command2
    void deleteClicked();         // cmdDelete
    void moveToTopClicked();      // cmdMoveToTop
    void searchSelectClicked();   // cmdSearchSelect
    void blacklistEmailClicked(); // cmdBLemail
    void blacklistOrgClicked();   // cmdBLorg
    void blacklistHostClicked();  // cmdBLphost
    void optionsClicked();        // Command5
    void downloadLightClicked();  // imgTestx
    // cmdExit (false) or the close box (true); the window stays open until the
    // shutdown sequence ends the program.
    void exitRequested(bool fromCloseBox);

protected:
    void closeEvent(QCloseEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void mirrorDisplay();
    QWidget *buildButtonRow();
    QWidget *buildCounterRow();
    QWidget *buildProgressRow();
    QAbstractButton *addButton(QLayout *row, const char *name, const QString &caption, const QString &toolTip,
                               const QIcon &icon);
    QProgressBar *bar(int n) const;
    QLabel *counterLabel(QStringView name) const;
    QMargins frameMargins() const;
    // Sets the outer size (frame included) in pixels.
    void setOuterSize(int width, int height);
    void rememberNormalGeometry();
    void centreOnScreen();
    void fitListToWindow();

    Context &m_ctx;
    QTreeView *m_list = nullptr;
    QWidget *m_progressRow = nullptr;
    QStandardItemModel *m_emptyModel = nullptr;
    PendingListDecorator *m_decorator = nullptr;
    QLabel *m_status = nullptr;
    QLabel *m_group = nullptr;
    std::array<QProgressBar *, 3> m_bars{};
    DownloadLight *m_light = nullptr;
    QAbstractButton *m_scan = nullptr;
    LogWindow *m_logWindow = nullptr;
    QPointer<HelpWindow> m_helpWindow;
    QPointer<AboutBox> m_aboutBox;
    QRect m_normalOuter;         // last outer geometry in normal state, in pixels
    QSize m_outerSizeBeforeShow; // outer size asked for while the frame was unknown
    int m_barHeightGot = -1;     // the height the bar size really gave (a window may refuse)
    bool m_shuttingDown = false;
    bool m_busyPointer = false;
};

} // namespace kestrel
