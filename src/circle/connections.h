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

    NntpConnection &scanConnection() { return m_scanConnection; }
    NntpConnection &downloadConnection() { return m_downloadConnection; }
    NntpConnection &connection(int n) { return n == 1 ? m_scanConnection : m_downloadConnection; }
    QTimer &scanWatchdogTimer() { return m_scanWatchdog; }
    QTimer &downloadWatchdogTimer() { return m_downloadWatchdog; }

    // Send line + CR LF when the connection is up; otherwise nothing.
    bool sendScan(const QByteArray &line, ReplyReader::Delivery delivery = ReplyReader::Delivery::WholeBlock);
    bool sendDownload(const QByteArray &line);

    void connectScan();
    // Opens the download connection; the watchdog runs from here on.
    void connectDownload();
    void closeConnection(int n);
    void sendQuit(int n);
    void emergencyReconnect(int n);

    // Watchdog ticks (scanWatchdogTimer, downloadWatchdogTimer every 1000 ms); tests call them directly.
    void watchdogTick(int n);

    // The port of txtPort: its leading digits; "119" ("563" with chkSSL) is filled in
    // when it is empty.
    int loginPort();

private:
    void showScanStatus();
    void showDownloadStatus();
    void armWatchdog(int n);
    void onSocketError(int n, const QString &description);
    void onPeerClosed(int n);

    Circle &m_c;
    NntpConnection m_scanConnection{ConnectionRole::Scan};
    NntpConnection m_downloadConnection{ConnectionRole::Download};
    QTimer m_scanWatchdog;
    QTimer m_downloadWatchdog;
};

} // namespace kestrel
