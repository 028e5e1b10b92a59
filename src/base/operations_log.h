#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

namespace kestrel {

class Clock;
class SettingsStore;

// The one channel through which the program tells the user what it does: the status
// line, the newest-first list of the log window and, when chosen, OPSLOG.TXT.
class OperationsLog : public QObject {
    Q_OBJECT
public:
    static constexpr int MaxEntries = 99;

    OperationsLog(const SettingsStore &settings, const Clock &clock, QString logFilePath,
                  QObject *parent = nullptr);

    void writeLog(const QString &message, bool toLog);

    QString statusLine() const { return m_status; }
    // Newest first; entry 0 is the selected one after each logged message.
    const QStringList &entries() const { return m_entries; }
    void clear();

    // Every message that reaches the list, also when nobody shows it (headless output).
    void setEchoEverything(bool on) { m_echo = on; }

Q_SIGNALS:
    void statusChanged(const QString &status);
    void entriesChanged();
    // Emitted for each toLog message, whatever the switches say (for headless output).
    void logged(const QString &timeText, const QString &message);

private:
    const SettingsStore &m_settings;
    const Clock &m_clock;
    QString m_filePath;
    QString m_status;
    QStringList m_entries;
    bool m_echo = false;
};

} // namespace kestrel
