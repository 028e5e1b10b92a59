#pragma once

#include <QHash>
#include <QObject>
#include <QString>

#include <array>

namespace kestrel {

// The main window's progress bars, by the number the window gives them.
enum class ProgressBar {
    Groups = 1,       // the favourite groups of a scan
    GroupHeaders = 2, // the new headers of the group being scanned
    Article = 3,      // the article being downloaded, then its decoding
};

// What the main window shows besides the pending list and the status line: the
// group line, the three progress bars, the scan button's state, the download light,
// the counters and the busy pointer. The engine writes it; the windowed front end mirrors it, the
// headless one ignores it and tests read it.
class MainDisplay : public QObject {
    Q_OBJECT
public:
    struct Bar {
        int value = 0;
        int maximum = 100;
        bool visible = true;
    };

    explicit MainDisplay(QObject *parent = nullptr);

    // lblGroup
    QString groupText() const { return m_groupText; }
    void setGroupText(const QString &text);

    // ProgressBar1..3 (bar = 1, 2 or 3). A value outside 0..maximum is clamped.
    const Bar &bar(int bar) const;
    void setBarValue(int bar, int value);
    void setBarMaximum(int bar, int maximum);
    void setBarVisible(int bar, bool visible);
    const Bar &bar(ProgressBar b) const { return bar(int(b)); }
    void setBarValue(ProgressBar b, int value) { setBarValue(int(b), value); }
    void setBarMaximum(ProgressBar b, int maximum) { setBarMaximum(int(b), maximum); }
    void setBarVisible(ProgressBar b, bool visible) { setBarVisible(int(b), visible); }

    // cmdScan
    bool scanEnabled() const { return m_scanEnabled; }
    void setScanEnabled(bool enabled);

    // imgTestx: the busy (red) light while a download run is active.
    bool downloadLightBusy() const { return m_lightBusy; }
    void setDownloadLightBusy(bool busy);

    // The busy mouse pointer, shown while an article is being decoded.
    bool busy() const { return m_busy; }
    void setBusy(bool busy);

    // Counter labels by control name: lblNottaJPG, lblKilledByLines, lblDupe, lblSpam,
    // lblTooBig, lblPending, lblDecoded, lblSpeed, lblMCount.
    qint64 counter(const QString &label) const { return m_counters.value(label, 0); }
    void setCounter(const QString &label, qint64 value);

Q_SIGNALS:
    void groupTextChanged(const QString &text);
    void barChanged(int bar);
    void scanEnabledChanged(bool enabled);
    void downloadLightChanged(bool busy);
    void busyChanged(bool busy);
    void counterChanged(const QString &label, qint64 value);

private:
    Bar &barRef(int bar);

    QString m_groupText = QStringLiteral("Press SCAN to start");
    std::array<Bar, 3> m_bars{};
    bool m_scanEnabled = true;
    bool m_lightBusy = false;
    bool m_busy = false;
    QHash<QString, qint64> m_counters;
};

} // namespace kestrel
