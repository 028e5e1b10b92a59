#pragma once

#include "nntp/login.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QSet>
#include <QString>

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

// The download run: takes the pending entries one at a time in list order, selects
// their group, requests the article and hands the complete text to the article sink.
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
    // The emergency reconnect is about to close the connection: the article in hand
    // goes back on the list, unless this was its third failed attempt.
    void emergencyOnArticleInHand();

    // LoginPort
    void sendLoginLine(const QByteArray &line) override;
    void userNameMissing() override;
    void passwordMissing() override;
    void loginComplete() override;

    const QByteArray &articleGroup() const { return m_articleGroup; }
    const QByteArray &articleFileName() const { return m_articleFileName; }
    const QByteArray &downloadGroup() const { return m_downloadGroup; }
    qint64 articleNumber() const { return m_articleNumber; }
    qint32 articleBytes() const { return m_articleBytes; }
    qint32 articleExpectedBytes() const { return m_articleExpectedBytes; }
    const QDateTime &downloadStart() const { return m_downloadStart; }

private:
    enum class Awaiting { Nothing, Group, Article };

    void onReply(NntpReply &&reply);
    void onGreeting(const NntpReply &reply);
    void requestArticle();
    void articleComplete(NntpReply &&reply);
    void articleRefused(const NntpReply &reply);
    void articleDeferred(const NntpReply &reply);
    void articleNotStored();
    // Ends the run on an error with the connection closed politely.
    void stopOnError();
    void serviceClosing(const NntpReply &reply);
    // Counts a failed attempt on the article in hand: false, with a log line, when it
    // was the last one allowed. answer is the server's status line, if it gave one.
    bool attemptFailed(const QByteArray &answer);
    void logKept(const QByteArray &answer);
    void groupMissing();
    void endRun();
    int nextEntry() const;
    void showProgress();
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
    QByteArray m_articleGroup;
    qint64 m_articleTag = 0;
    QByteArray m_articleFileName;
    qint64 m_articleNumber = 0;
    qint32 m_articleBytes = 0;
    qint32 m_articleExpectedBytes = 0;
    QDateTime m_downloadStart;
    QByteArray m_downloadGroup;
    Awaiting m_awaiting = Awaiting::Nothing;
    // Groups the server said it does not carry; their entries wait for a later run.
    QSet<QByteArray> m_missingGroups;
    // Failed attempts on each article ("group/number"): emergency reconnects and
    // refusals that may pass.
    QHash<QByteArray, int> m_failedAttempts;
    // The 400 answer that set off the emergency reconnect under way, if one did.
    QByteArray m_closingAnswer;
    qint64 m_lastDisplayMs = -1;
};

} // namespace kestrel
