#pragma once

#include "circle/article_sink.h"
#include "circle/download_lane.h"
#include "nntp/login.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QSet>
#include <QString>

#include <vector>

namespace kestrel {

struct CapturedArticle;
class Connections;
class Context;
class DownloadEvents;
class FilterCounters;
class PendingListModel;
class RescanCountdown;
class SessionConnection;
struct NntpReply;
struct SessionState;

// The download run: takes the pending entries in list order, selects their group,
// requests the articles and hands each complete text to the article sink. It runs
// over sldConnections connections, each with its own group and up to sldPipeline
// requests on their way (RFC 3977 3.5); the replies come back in the order of the
// requests, so the oldest request of a connection is the one being received.
// Articles taken off the list but not yet answered go back to its head, in list
// order, whenever they cannot be answered any more.
class DownloadSession : public LoginPort {
public:
    DownloadSession(Context &ctx, SessionState &state, Connections &connections, Login &login,
                    PendingListModel &pending, FilterCounters &counters, ArticleSink &sink,
                    RescanCountdown &countdown, DownloadEvents &events);

    void downloadNext();
    void removeBlankEntries();
    // The stop-download button.
    void abortDownload();
    // Connected to a download connection's data arrival. True when replies were left
    // for later (see takeReplies): the caller calls takeReplies from the event loop.
    bool onData(SessionConnection &connection);
    // Takes the replies the connection has read; true when some were left for later.
    bool takeReplies(SessionConnection &connection);
    // The emergency reconnect is about to close this connection and end the run: the
    // article it was receiving counts a failed attempt (and is dropped at the third);
    // it and every other unanswered article go back on the list, and the other
    // connections of the run are closed.
    void emergency(SessionConnection &connection);
    // A connection failed before its greeting: when it was a further connection of
    // the run, the run goes on with fewer (true); the first one is the run's own
    // failure (false).
    bool connectionRefused(SessionConnection &connection);
    // The connection was closed: its unanswered articles go back on the list.
    void connectionClosed(SessionConnection &connection);
    // Shutdown: every unanswered article of every connection goes back on the list.
    void requeueUnanswered();
    // An asynchronous sink reports the oldest article it took (see ArticleSink).
    void articleFiled(SinkResult result);
    // It is still decoding a large article: the connections are not silent meanwhile.
    void sinkWorking();

    // LoginPort, for the connection whose reply is being read
    void sendLoginLine(const QByteArray &line) override;
    void userNameMissing() override;
    void passwordMissing() override;
    void loginComplete() override;

private:
    DownloadLane &laneOf(SessionConnection &connection);
    void onReply(DownloadLane &lane, NntpReply &&reply);
    bool articleReply(DownloadLane &lane, NntpReply &reply);
    void onFirstReply(DownloadLane &lane, const NntpReply &reply);
    void onGreeting(DownloadLane &lane, const NntpReply &reply);
    void openFurtherConnections();
    void lowerConnections(DownloadLane &lane, const QByteArray &why);
    bool takeMidWindowLogin(DownloadLane &lane, const NntpReply &reply);
    void selectDownloadGroup(DownloadLane &lane);
    void onGroupSelected(DownloadLane &lane);
    void fillWindow(DownloadLane &lane, bool hold = true);
    void takeEntry(DownloadLane &lane, int index, bool hold = true);
    void request(DownloadLane &lane, InFlight &article);
    void holdHead(DownloadLane &lane);
    void popHead(DownloadLane &lane);
    void dropHead(DownloadLane &lane);
    void dropRestOfPicture(const InFlight &part);
    void pictureDroppedLater(const InFlight &part);
    void forgetHandedOver(qint64 order);
    bool discardAnswer(DownloadLane &lane);
    void partRefused(DownloadLane &lane, const NntpReply &reply);
    static void describePart(CapturedArticle &article, const InFlight &item);
    void advance(DownloadLane &lane);
    void requeueLanes(bool all, DownloadLane *only);
    void takeBackHandedOver(std::vector<InFlight> &back);
    void updateInHand();
    int windowSize() const;
    bool anyInFlight() const;
    void articleComplete(DownloadLane &lane, NntpReply &&reply);
    void articleRefused(DownloadLane &lane, const NntpReply &reply);
    void articleDeferred(DownloadLane &lane, const NntpReply &reply);
    void articleNotStored();
    void articleOverflow(DownloadLane &lane);
    void serviceClosing(DownloadLane &lane, const NntpReply &reply);
    void sessionRefused(const NntpReply &reply);
    // Ends the run early: everything unanswered back on the list, QUIT on every
    // connection of the run.
    void stopRun(bool error);
    void quitAll();
    // Counts a failed attempt on the article the lane is receiving: false, with a log
    // line, when it was the last one allowed. answer is the server's status line, if any.
    bool attemptFailed(DownloadLane &lane, const QByteArray &answer);
    void logKept(const DownloadLane &lane, const QByteArray &answer);
    void groupMissing(DownloadLane &lane);
    void endRun();
    int nextEntry() const;
    void showProgress(DownloadLane &lane);
    void showRunProgress(bool force);
    void touchConnection(DownloadLane &lane);
    void logReply(const NntpReply &reply, const QString &suffix = QString());

    Context &m_ctx;
    SessionState &m_state;
    Connections &m_connections;
    Login &m_login;
    PendingListModel &m_pending;
    FilterCounters &m_counters;
    ArticleSink &m_sink;
    RescanCountdown &m_countdown;
    DownloadEvents &m_events;
    std::vector<DownloadLane> m_lanes; // one per download connection of the pool
    // Answered articles the sink took and has not filed yet, oldest first. They count
    // as unanswered until it has: whatever puts those back on the list puts these too.
    std::deque<InFlight> m_handedOver;
    DownloadLane *m_loginLane = nullptr;
    int m_runConnections = 1; // connections this run uses; lowered when the server refuses one
    bool m_furtherOpened = false;
    qint64 m_taken = 0; // entries taken in this run
    // With several connections the status line and the article bar show the whole run
    // rather than whichever connection read last.
    bool m_showRunTotals = false;
    qint64 m_doneCount = 0; // articles handed over in this run
    qint64 m_doneBytes = 0; // and their bytes
    QDateTime m_runStart;
    qint64 m_runDisplayMs = -1;
    // Groups the server said it does not carry; their entries wait for a later run.
    QSet<QByteArray> m_missingGroups;
    // Failed attempts on each article ("group/number"): emergency reconnects and
    // refusals that may pass.
    QHash<QByteArray, int> m_failedAttempts;
    // The 400 answer that set off the emergency reconnect under way, if one did.
    QByteArray m_closingAnswer;
};

} // namespace kestrel
