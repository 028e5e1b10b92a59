#include "base/operations_log.h"

#include "base/atomic_file.h"
#include "base/clock.h"
#include "base/log_text.h"
#include "base/settings_store.h"

#include <QLocale>

namespace kestrel {

OperationsLog::OperationsLog(const SettingsStore &settings, const Clock &clock, QString logFilePath,
                             QObject *parent)
    : QObject(parent), m_settings(settings), m_clock(clock), m_filePath(std::move(logFilePath))
{
}

void OperationsLog::writeLog(const QString &message, bool toLog)
{
    QString msg = message;
    const qsizetype cr = msg.indexOf(QLatin1Char('\r'));
    if (cr >= 0)
        msg = msg.left(cr).trimmed();
    // Server text reaches the log inside many messages: made safe here, once for all.
    msg = loggableText(msg);

    m_status = msg;
    Q_EMIT statusChanged(m_status);

    const QDateTime now = m_clock.now();
    const QString time = now.toString(QStringLiteral("HH:mm:ss"));
    if (toLog)
        Q_EMIT logged(time, msg);

    if (!m_settings.checked(u"chkEnableLogging"))
        return;
    if (toLog) {
        m_entries.prepend(time + QLatin1String("  ") + msg);
        while (m_entries.size() > MaxEntries)
            m_entries.removeLast();
        Q_EMIT entriesChanged();
    }
    if (toLog && m_settings.checked(u"chkLogFile")) {
        const QString date = QLocale::system().toString(now.date(), QLocale::ShortFormat);
        const QString line =
            date + QLatin1Char(' ') + time + QLatin1String("  ") + msg + QLatin1String("\r\n");
        // A log file that cannot be written must never disturb the caller, and a
        // failure cannot be logged to itself: the entry stays in the list above.
        static_cast<void>(appendToFile(m_filePath, line.toUtf8()));
    }
}

void OperationsLog::clear()
{
    m_entries.clear();
    Q_EMIT entriesChanged();
}

} // namespace kestrel
