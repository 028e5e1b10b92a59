#include "circle/session_connection.h"

namespace kestrel {

SessionConnection::SessionConnection(ConnectionRole role, QObject *parent) : QObject(parent), m_socket(role)
{
    m_watchdog.setInterval(1000);
    connect(&m_socket, &NntpConnection::dataArrived, this,
            [this](qsizetype bytes) { m_rateWindowBytes += bytes; });
}

void SessionConnection::startRateWindow(const QDateTime &now)
{
    m_rateWindowStart = now;
    m_rateWindowBytes = 0;
}

QString SessionConnection::roleName() const
{
    return role() == ConnectionRole::Scan ? QStringLiteral("Scan") : QStringLiteral("Download");
}

void SessionConnection::arm(const QDateTime &now)
{
    m_lastActivity = now;
    startRateWindow(now);
    m_watchdogArmed = true;
    m_watchdog.start();
}

void SessionConnection::startWatching(const QDateTime &now)
{
    m_greeted = false;
    arm(now);
}

void SessionConnection::greet(const QDateTime &now)
{
    m_greeted = true;
    arm(now);
}

void SessionConnection::disarm()
{
    m_watchdogArmed = false;
    m_watchdog.stop();
}

} // namespace kestrel
