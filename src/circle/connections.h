#pragma once

#include "nntp/nntp_connection.h"

#include <QObject>
#include <QTimer>

namespace kestrel {

class Circle;
class Context;

// The scan connection (1) and the download connection (2): sending, closing and
// showing their state, opening the scan connection, QUIT, the two inactivity
// watchdogs and the emergency reconnect.
class Connections : public QObject {
    Q_OBJECT
public:
    explicit Connections(Circle &circle);

    NntpConnection &TCP1() { return m_tcp1; }
    NntpConnection &TCP2() { return m_tcp2; }
    NntpConnection &connection(int n) { return n == 1 ? m_tcp1 : m_tcp2; }
    QTimer &Timerbot1() { return m_timerbot1; }
    QTimer &Timerbot2() { return m_timerbot2; }

    // Send line + CR LF when the connection is up; otherwise nothing.
    bool SendScan(const QByteArray &line, ReplyReader::Delivery delivery = ReplyReader::Delivery::WholeBlock);
    bool SendDownload(const QByteArray &line);

    void ConnectScan();
    // Opens the download connection; the watchdog runs from here on.
    void ConnectDownload();
    void CloseConnection(int n);
    void SendQuit(int n);
    void EmergencyReconnect(int n);

    // Watchdog ticks (Timerbot1, Timerbot2 every 1000 ms); tests call them directly.
    void watchdogTick(int n);

    // The port of txtPort: its leading digits; "119" ("563" with chkSSL) is filled in
    // when it is empty.
    int loginPort();

private:
    void ShowScanStatus();
    void ShowDownloadStatus();
    void armWatchdog(int n);
    void onSocketError(int n, const QString &description);
    void onPeerClosed(int n);

    Circle &m_c;
    NntpConnection m_tcp1{1};
    NntpConnection m_tcp2{2};
    QTimer m_timerbot1;
    QTimer m_timerbot2;
};

} // namespace kestrel
