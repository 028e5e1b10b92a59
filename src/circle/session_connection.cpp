#include "circle/session_connection.h"

namespace kestrel {

SessionConnection::SessionConnection(ConnectionRole role, QObject *parent) : QObject(parent), m_socket(role)
{
    m_watchdog.setInterval(1000);
    connect(&m_socket, &NntpConnection::dataArrived, this,
            [this](qsizetype bytes) { m_rateWindowBytes += bytes; });
}

void SessionConnection::startRateWindow(qint64 nowMs)
{
    m_rateWindowStartMs = nowMs;
    m_rateWindowBytes = 0;
}

QString SessionConnection::roleName() const
{
    return role() == ConnectionRole::Scan ? QStringLiteral("Scan") : QStringLiteral("Download");
}

void SessionConnection::arm(qint64 nowMs)
{
    m_lastActivityMs = nowMs;
    startRateWindow(nowMs);
    m_heldBack = false;
    m_watchdogArmed = true;
    m_watchdog.start();
}

void SessionConnection::startWatching(qint64 nowMs)
{
    m_greeted = false;
    arm(nowMs);
}

void SessionConnection::greet(qint64 nowMs)
{
    m_greeted = true;
    arm(nowMs);
}

void SessionConnection::disarm()
{
    m_watchdogArmed = false;
    m_watchdog.stop();
}

} // namespace kestrel
