#pragma once

#include "base/pending_entry.h"
#include "nntp/login.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QSet>
#include <QString>

#include <deque>

namespace kestrel {

class ArticleSink;
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
// requests the articles and hands each complete text to the article sink. Up to
// sldPipeline requests are on their way at once (RFC 3977 3.5); the replies come back
// in the order of the requests, so the oldest request in the window is always the one
// being received. Articles taken off the list but not yet answered go back to its head,
// in list order, whenever the run ends without their answer.
class DownloadSession : public LoginPort {
public:
    DownloadSession(Context &ctx, SessionState &state, Connections &connections, Login &login,
                    PendingListModel &pending, FilterCounters &counters, ArticleSink &sink,
                    RescanCountdown &countdown, DownloadEvents &events);

    void downloadNext();
    void selectDownloadGroup();
    void removeBlankEntries();
    // The stop-download button.
    void abortDownload();
    // Connected to the download connection's data arrival.
    void onData(qsizetype bytes);
    // The emergency reconnect is about to close the connection: the article being
    // received counts a failed attempt (and is dropped at the third); it and every other
    // unanswered article go back on the list.
    void emergencyOnArticleInHand();
    // The connection was closed, or is about to be (shutdown): every unanswered article
    // goes back to the head of the list, in order.
    void requeueUnanswered();

    // LoginPort
    void sendLoginLine(const QByteArray &line) override;
    void userNameMissing() override;
    void passwordMissing() override;
    void loginComplete() override;

private:
    enum class Awaiting { Nothing, Group };
    struct InFlight {
        PendingEntry entry;
        bool requested = false; // its ARTICLE or BODY went out
    };

    void onReply(NntpReply &&reply);
    void onGreeting(const NntpReply &reply);
    bool takeMidWindowLogin(int code);
    void onGroupSelected();
    void fillWindow();
    void takeEntry(int index);
    void request(InFlight &article);
    void holdHead();
    void popHead();
    void advance();
    bool headRequested() const;
    int windowSize() const;
    void articleComplete(NntpReply &&reply);
    void articleRefused(const NntpReply &reply);
    void articleDeferred(const NntpReply &reply);
    void articleOverflow();
    void serviceClosing(const NntpReply &reply);
    void sessionRefused(const NntpReply &reply);
    // Counts a failed attempt on the article being received: false, with a log line,
    // when it was the last one allowed. answer is the server's status line, if it gave one.
    bool attemptFailed(const QByteArray &answer);
    void logKept(const QByteArray &answer);
    void groupMissing();
    void endRun();
    int nextEntry() const;
    void showProgress();
    void touchConnection();
    void logReply(const NntpReply &reply, const QString &suffix = QString());
    QByteArray articleKey() const;

    Context &m_ctx;
    SessionState &m_state;
    Connections &m_connections;
    SessionConnection &m_connection;
    Login &m_login;
    PendingListModel &m_pending;
    FilterCounters &m_counters;
    ArticleSink &m_sink;
    RescanCountdown &m_countdown;
    DownloadEvents &m_events;
    // Taken off the list and not yet answered, oldest first; the head is the article
    // in hand (ctx.state.currentArticle) and the one the fields below describe.
    std::deque<InFlight> m_window;
    QByteArray m_articleGroup;
    qint64 m_articleTag = 0;
    QByteArray m_articleFileName;
    qint32 m_articleBytes = 0;
    qint32 m_articleExpectedBytes = 0;
    QDateTime m_downloadStart;
    QByteArray m_downloadGroup;
    Awaiting m_awaiting = Awaiting::Nothing;
    // Replies still due to requests a mid-run login demand made void; they are read
    // and ignored.
    int m_voidReplies = 0;
    // Groups the server said it does not carry; their entries wait for a later run.
    QSet<QByteArray> m_missingGroups;
    // Failed attempts on each article ("group/number"): emergency reconnects and
    // refusals that may pass.
    QHash<QByteArray, int> m_failedAttempts;
    // The 400 answer that set off the emergency reconnect under way, if one did.
    QByteArray m_closingAnswer;
    qint64 m_lastDisplayMs = -1;
    qint64 m_lastTouchMs = -1;
};

} // namespace kestrel
