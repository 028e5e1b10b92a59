#pragma once

#include "circle/connection_pool.h"

#include <QObject>

namespace kestrel {

class ConnectionEvents;
struct NntpReply;
class Context;
class FavouritesModel;
class PendingListModel;
class RescanCountdown;
struct SessionState;

// Opening, closing and QUIT on the circle's connections, their inactivity watchdogs and
// the emergency reconnect. Every operation works on one connection; its role decides
// only what a close, a QUIT or an emergency means for the work on it.
class Connections : public QObject {
    Q_OBJECT
public:
    // Slower than this while a reply arrives, for longer than sldTimeout, is a stall.
    static constexpr qint64 kMinBytesPerSecond = 1024;

    Connections(Context &ctx, SessionState &state, FavouritesModel &favourites, PendingListModel &pending,
                RescanCountdown &countdown, ConnectionEvents &events);

    SessionConnection &scan() { return m_pool.scan(); }
    SessionConnection &download() { return m_pool.download(); }
    std::vector<SessionConnection *> downloads() { return m_pool.downloads(); }
    SessionConnection &first(ConnectionRole role) { return m_pool.first(role); }

    void connectScan();
    // Opens a download connection; the watchdog runs from here on.
    void connectDownload(SessionConnection &c);
    void closeConnection(SessionConnection &c);
    void sendQuit(SessionConnection &c);
    void emergencyReconnect(SessionConnection &c);
    // The server refused service in its greeting, or said 400 (closing) later: logged,
    // then the emergency reconnect, as for a connection lost.
    void serviceEnded(SessionConnection &c, const NntpReply &reply);

    // Watchdog tick (each connection's watchdog, every 1000 ms); tests call it directly.
    void watchdogTick(SessionConnection &c);

    // The port of txtPort: its leading digits; "119" ("563" with chkSSL) is filled in
    // when it is empty.
    int loginPort();

private:
    void showScanStatus();
    void showDownloadStatus(SessionConnection &c);
    bool mayReconnect(ConnectionRole role);
    void checkTransferRate(SessionConnection &c, qint64 nowMs, int limit);
    void onSocketError(SessionConnection &c, const QString &description);
    void onPeerClosed(SessionConnection &c);

    Context &m_ctx;
    SessionState &m_state;
    FavouritesModel &m_favourites;
    PendingListModel &m_pending;
    RescanCountdown &m_countdown;
    ConnectionEvents &m_events;
    ConnectionPool m_pool;
};

} // namespace kestrel
