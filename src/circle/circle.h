#pragma once

#include "circle/session_state.h"
#include "nntp/connection_role.h"

#include <QObject>

#include <memory>

namespace kestrel {

class ArticleSink;
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
// signals ask for.
class Circle : public QObject {
    Q_OBJECT
public:
    Circle(Context &ctx, FavouritesModel &favourites, PendingListModel &pending, HeaderFilter &filter,
           FilterCounters &counters, ArticleSink &sink, QObject *parent = nullptr);
    ~Circle() override;

    // Opens the scan connection from the login settings (the login window's Connect
    // button, the countdown, a headless start).
    void connectScan();
    // Main window buttons.
    void stopScan();       // disconnect and stop scanning
    void abortDownload();       // abort the download run
    void downloadNext();   // the download light, or a finished article
    // QUIT on the connection of this role (shutdown sends it on the scan connection).
    void sendQuit(ConnectionRole role);

    Context &ctx() { return m_ctx; }
    FavouritesModel &favourites() { return m_favourites; }
    PendingListModel &pending() { return m_pending; }
    HeaderFilter &filter() { return m_filter; }
    FilterCounters &counters() { return m_counters; }
    ArticleSink &sink() { return m_sink; }
    SessionState &state() { return m_state; }
    Connections &connections() { return *m_connections; }
    Login &login() { return *m_login; }
    ScanSession &scanSession() { return *m_scan; }
    DownloadSession &downloadSession() { return *m_download; }
    ScanDriver &driver() { return *m_driver; }
    RescanCountdown &countdown() { return *m_countdown; }

    // Lets the scan driver take its next step once the running handler has finished
    // (the driver never waits inside a handler). Several requests make one step.
    void pollDriver();
    // Reports that the circle stops here until someone starts it again; once per run.
    void reportWait(bool error);
    // A new connect or download run: the next stop is reported again.
    void rearmWaitReport() { m_waitReported = false; }

Q_SIGNALS:
    // The circle would now wait for the user: a download run ended, a scan ended
    // without starting one, or a failure armed no restart. error: it ended on a
    // refused or failed connection, a refused login, no host or no favourites.
    void wouldWait(bool error);
    void loginWindowWanted();     // show the login window (a missing password)
    void loginWindowHideWanted(); // the scan connection is being opened
    void newsgroupsWanted();      // options window on its Newsgroups tab, then the add-group dialog

private:
    Context &m_ctx;
    FavouritesModel &m_favourites;
    PendingListModel &m_pending;
    HeaderFilter &m_filter;
    FilterCounters &m_counters;
    ArticleSink &m_sink;
    SessionState m_state;
    std::unique_ptr<Login> m_login;
    std::unique_ptr<Connections> m_connections;
    std::unique_ptr<ScanSession> m_scan;
    std::unique_ptr<DownloadSession> m_download;
    std::unique_ptr<ScanDriver> m_driver;
    std::unique_ptr<RescanCountdown> m_countdown;
    bool m_pollPending = false;
    bool m_waitReported = false;
};

} // namespace kestrel
