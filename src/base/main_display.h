#pragma once

#include <QHash>
#include <QObject>
#include <QString>

#include <array>

namespace kestrel {

// What the main window shows besides the pending list and the status line: the
// group line, the three progress bars, the scan button's state, the download light
// and the counters. The engine writes it; the windowed front end mirrors it, the
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

    // cmdScan
    bool scanEnabled() const { return m_scanEnabled; }
    void setScanEnabled(bool enabled);

    // imgTestx: the busy (red) light while a download run is active.
    bool downloadLightBusy() const { return m_lightBusy; }
    void setDownloadLightBusy(bool busy);

    // Counter labels by control name: lblNottaJPG, lblKilledByLines, lblDupe, lblSpam,
    // lblPending, lblDecoded, lblSpeed, lblMCount.
    qint64 counter(const QString &label) const { return m_counters.value(label, 0); }
    void setCounter(const QString &label, qint64 value);

Q_SIGNALS:
    void groupTextChanged(const QString &text);
    void barChanged(int bar);
    void scanEnabledChanged(bool enabled);
    void downloadLightChanged(bool busy);
    void counterChanged(const QString &label, qint64 value);

private:
    Bar &barRef(int bar);

    QString m_groupText = QStringLiteral("Press SCAN to start");
    std::array<Bar, 3> m_bars{};
    bool m_scanEnabled = true;
    bool m_lightBusy = false;
    QHash<QString, qint64> m_counters;
};

} // namespace kestrel
