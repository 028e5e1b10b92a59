#pragma once

#include "nntp/nntp_connection.h"

#include <QObject>
#include <QString>
#include <QTimer>

namespace kestrel {

// One connection of the circle: the socket with its reply reader, the inactivity
// watchdog that looks at it every second, and what the watchdog needs to judge it
// (armed, greeted, last activity).
class SessionConnection : public QObject {
    Q_OBJECT
public:
    explicit SessionConnection(ConnectionRole role, QObject *parent = nullptr);

    ConnectionRole role() const { return m_socket.role(); }
    // How the watchdog's log lines name it: "Scan" or "Download".
    QString roleName() const;

    NntpConnection &socket() { return m_socket; }
    ReplyReader &reader() { return m_socket.reader(); }
    QTimer &watchdog() { return m_watchdog; }

    // Send line + CR LF when the connection is up; otherwise nothing.
    bool send(const QByteArray &line, ReplyReader::Delivery delivery = ReplyReader::Delivery::WholeBlock)
    {
        return m_socket.sendLine(line, delivery);
    }

    bool watchdogArmed() const { return m_watchdogArmed; }
    // The server greeted; until then a watchdog expiry means no answer at all.
    bool greeted() const { return m_greeted; }
    // Times are the clock's monotonic milliseconds: a watchdog must not jump with the
    // wall clock, and reading it is cheap enough for every socket read.
    qint64 lastActivityMs() const { return m_lastActivityMs; }

    // A connect is under way: not greeted yet, and the watchdog counts from now.
    void startWatching(qint64 nowMs);
    // The greeting arrived: the watchdog counts from now.
    void greet(qint64 nowMs);
    // Data arrived.
    void touch(qint64 nowMs) { m_lastActivityMs = nowMs; }
    // The watchdog leaves this connection alone (QUIT, close).
    void disarm();
    // Its replies wait unread until the article sink has room: a silence or a slow
    // reply is then this program's doing, not the server's.
    void holdBack(bool held) { m_heldBack = held; }
    bool heldBack() const { return m_heldBack; }

    // The transfer rate is judged over a window of time in which a reply was under way:
    // the bytes that arrived since the window started.
    void startRateWindow(qint64 nowMs);
    qint64 rateWindowStartMs() const { return m_rateWindowStartMs; }
    qint64 rateWindowBytes() const { return m_rateWindowBytes; }
    // Part of a reply has arrived and the rest is awaited.
    bool midReply() { return reader().buffered() > 0 || reader().inLineBlock(); }

private:
    void arm(qint64 nowMs);

    NntpConnection m_socket;
    QTimer m_watchdog;
    bool m_watchdogArmed = false;
    bool m_greeted = false;
    bool m_heldBack = false;
    qint64 m_lastActivityMs = 0;
    qint64 m_rateWindowStartMs = 0;
    qint64 m_rateWindowBytes = 0;
};

} // namespace kestrel
