#pragma once

#include "circle/article_sink.h"
#include "circle/connection_events.h"
#include "circle/deferred_call.h"
#include "circle/download_events.h"
#include "circle/scan_driver_events.h"
#include "circle/scan_events.h"
#include "circle/session_state.h"
#include "nntp/connection_role.h"

#include <QObject>

#include <memory>

namespace kestrel {

class Connections;
class Context;
class DownloadSession;
class FavouritesModel;
class FilterCounters;
class HeaderFilter;
class Login;
class PendingListModel;
class RescanCountdown;
class ScanDriver;
class ScanSession;

// The unattended circle: scan connection, scan, download, countdown, scan again. The
// engine makes one; the front ends call its button methods and show what its
// signals ask for. It hears what its parts report and tells the others.
class Circle : public QObject,
               private ScanEvents,
               private DownloadEvents,
               private ConnectionEvents,
               private ScanDriverEvents,
               private ArticleSink::Listener {
    Q_OBJECT
public:
    Circle(Context &ctx, FavouritesModel &favourites, PendingListModel &pending, HeaderFilter &filter,
           FilterCounters &counters, ArticleSink &sink, QObject *parent = nullptr);
    ~Circle() override;

    // Opens the scan connection from the login settings (the login window's Connect
    // button, the countdown, a headless start).
    void connectScan();
    // Main window buttons.
    void stopScan();      // disconnect and stop scanning
    void abortDownload(); // abort the download run
    void downloadNext();  // the download light, or a finished article
    // QUIT on the connection of this role (shutdown sends it on the scan connection).
    void sendQuit(ConnectionRole role);
    // Shutdown: closes the download connections at once and puts every article asked
    // for and not yet answered back at the head of the pending list, in order.
    void takeBackDownloads();

    // The engine closes the download connection on shutdown; tests reach the sockets.
    Connections &connections() { return *m_connections; }
    // The group manager logs in through it too.
    Login &login() { return *m_login; }
    // The unattended loop arms it whenever the circle would wait.
    RescanCountdown &countdown() { return *m_countdown; }

Q_SIGNALS:
    // The circle would now wait for the user: a download run ended, a scan ended
    // without starting one, or a failure armed no restart. error: it ended on a
    // refused or failed connection, a refused login, no host or no favourites.
    void wouldWait(bool error);
    void loginWindowWanted();     // show the login window (a missing password)
    void loginWindowHideWanted(); // the scan connection is being opened
    void newsgroupsWanted();      // options window on its Newsgroups tab, then the add-group dialog
    void scanStarting();          // a scan is about to read its first group

private:
    // Replies a download connection left unread in this turn of the event loop are
    // taken in the next.
    void takeRepliesLater(SessionConnection &c, bool left);

    // ArticleSink::Listener
    void articleFiled(SinkResult result) override;
    void sinkWorking() override;

    // ScanEvents, DownloadEvents, ConnectionEvents, ScanDriverEvents
    void scanConnectionReady() override;
    void groupFinished() override;
    void pendingListFull() override;
    void showLoginWindow() override;
    void runStopped(bool error) override;
    void runStarting() override;
    void connectStarting() override;
    void scanConnectionRequested() override;
    void scanConnectionOpening() override;
    void scanConnectionClosed() override;
    void scanQuitSent() override;
    void downloadConnectionClosed(SessionConnection &c) override;
    void downloadEmergency(SessionConnection &c) override;
    bool downloadConnectionRefused(SessionConnection &c) override;
    void hideLoginWindow() override;
    void showNewsgroups() override;
    void downloadWanted() override;
    void scanCutShort() override;

    // The countdown reached 0: a new scan, unless a download run is still active.
    void restartDue();
    bool downloadActive() const;

    Context &m_ctx;
    ArticleSink &m_sink;
    SessionState m_state;
    std::unique_ptr<Login> m_login;
    std::unique_ptr<RescanCountdown> m_countdown;
    std::unique_ptr<Connections> m_connections;
    std::unique_ptr<ScanSession> m_scan;
    std::unique_ptr<DownloadSession> m_download;
    std::unique_ptr<ScanDriver> m_driver;
    bool m_waitReported = false;
    bool m_cutShort = false;       // the last scan ended cut short; the run's end says so
    bool m_restartWaiting = false; // the countdown ran out during a download run
    DeferredCall m_restart{[this] { connectScan(); }};
};

} // namespace kestrel
