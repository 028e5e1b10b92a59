// The download session's side of the replies: taking them off each connection and
// reacting to each, per article of the window.
#include "circle/download_session.h"

#include "circle/article_sink.h"
#include "circle/connections.h"
#include "circle/download_events.h"
#include "circle/rescan_countdown.h"
#include "circle/session_connection.h"
#include "circle/session_state.h"
#include "nntp/reply_reaction.h"

#include "base/context.h"
#include "base/format_speed.h"
#include "base/number_text.h"
#include "scan/pending_list_model.h"

#include <algorithm>
#include <climits>
#include <utility>

namespace kestrel {

namespace {

constexpr qint64 kDisplayIntervalMs = 50;
// As long as after a lost connection: room on a disk is rarely made in seconds.
constexpr int kRetryAfterWriteFailureSeconds = 90;
// Longest stretch of taking replies in one turn of the event loop.
constexpr qint64 kStepBudgetMs = 10;

// While a run is under way (an article taken, its group asked for or selected), the
// replies to its requests count.
bool collectingArticle(DownloadState state)
{
    return state == DownloadState::Started || state == DownloadState::GroupSelected;
}

// What an error answer to BODY or ARTICLE does to the article asked for.
enum class Refusal {
    Gone,        // the server has no such article: it is dropped at once
    ServiceGone, // the server is closing the connection: the emergency reconnect follows
    Temporary,   // the article may come another time: it waits for the next run
    Session,     // about the login or the selected group: handled with the session
};

Refusal refusalOf(const NntpReply &reply)
{
    switch (replyReaction(NntpCommand::Article, reply.code, reply.statusLine())) {
    case ReplyReaction::NoSuchArticle:
        return Refusal::Gone;
    case ReplyReaction::ServiceClosing:
        return Refusal::ServiceGone;
    case ReplyReaction::NoGroupSelected:
    case ReplyReaction::AuthRequired:
    case ReplyReaction::LoginRefused:
        return Refusal::Session;
    default:
        // Whatever else a server answers to BODY or ARTICLE (a fault, a refusal it does
        // not explain, a code nobody defined) does not say the article is gone; the
        // attempts counted per article keep a lasting refusal from coming back for ever.
        return Refusal::Temporary;
    }
}

} // namespace

void DownloadSession::touchConnection(DownloadLane &lane)
{
    lane.connection->touch(m_ctx.clock.msecsSinceStart());
}

bool DownloadSession::onData(SessionConnection &connection)
{
    DownloadLane &lane = laneOf(connection);
    touchConnection(lane);
    if (!connection.socket().isConnected()) {
        m_ctx.writeLog(QStringLiteral("Download Connection Error..."), true);
        m_connections.sendQuit(connection);
    }
    return takeReplies(connection);
}

// The replies already read are taken one after another, but only for so long: when a
// slow disk makes filing take long, the rest waits for the next turn of the event loop
// (the caller queues it), so that the windows stay responsive.
bool DownloadSession::takeReplies(SessionConnection &connection)
{
    DownloadLane &lane = laneOf(connection);
    NntpConnection &tcp = connection.socket();
    ReplyReader &reader = tcp.reader();
    const qint64 started = m_ctx.clock.msecsSinceStart();
    while (tcp.isConnected()) {
        // The sink holds all it will: the rest waits in the reader until it reports
        // an article (and with no more requests sent meanwhile, the window bounds it).
        connection.holdBack(m_sink.full());
        if (connection.heldBack())
            return false;
        const ReplyReader::Event event = reader.next();
        if (event == ReplyReader::Event::NeedMore)
            break;
        if (event == ReplyReader::Event::Overflow) {
            articleOverflow(lane);
            return false;
        }
        if (event == ReplyReader::Event::Reply)
            onReply(lane, reader.takeReply());
        if (m_ctx.clock.msecsSinceStart() - started >= kStepBudgetMs && reader.buffered() > 0)
            return tcp.isConnected();
    }
    // What the reader holds beyond the replies handed out belongs to the head's reply.
    if (collectingArticle(m_ctx.state.downloadState) && lane.headRequested()) {
        lane.articleBytes = qint32(reader.buffered());
        showProgress(lane);
    }
    return false;
}

// The stream can no longer be followed: the article being received is dropped, the
// unanswered ones go back on the list, and a fresh run takes them.
void DownloadSession::articleOverflow(DownloadLane &lane)
{
    m_ctx.writeLog(QStringLiteral("Article too long, dropped: ") + displayText(lane.articleFileName), true);
    if (!lane.window.empty())
        dropHead(lane);
    requeueUnanswered();
    m_ctx.state.downloadState = DownloadState::Idle;
    m_state.downloadBusy = false;
    for (DownloadLane &l : m_lanes)
        if (l.inRun || l.index == 0)
            m_connections.closeConnection(*l.connection);
    downloadNext();
}

void DownloadSession::showProgress(DownloadLane &lane)
{
    if (m_showRunTotals) {
        showRunProgress(false);
        return;
    }
    const qint64 now = m_ctx.clock.msecsSinceStart();
    if (lane.lastDisplayMs >= 0 && now - lane.lastDisplayMs < kDisplayIntervalMs)
        return;
    lane.lastDisplayMs = now;
    m_ctx.writeLog(QStringLiteral("Downloading: ") + displayText(lane.articleFileName) + QLatin1Char(' ') +
                       formatKb(lane.articleBytes) + QStringLiteral("kb [") +
                       formatSpeed(m_ctx.clock, lane.downloadStart, lane.articleBytes) +
                       QStringLiteral(" Kbps]"),
                   false);
    const int maximum = m_ctx.display.bar(ProgressBar::Article).maximum;
    if (lane.articleBytes >= 1 && lane.articleBytes < maximum)
        m_ctx.display.setBarValue(ProgressBar::Article, lane.articleBytes);
    else if (lane.articleBytes > maximum)
        m_ctx.display.setBarValue(ProgressBar::Article, maximum);
}

// Articles handed over out of all the run has taken or has still to take, and the
// bytes received over every connection, including the replies still arriving.
void DownloadSession::showRunProgress(bool force)
{
    const qint64 now = m_ctx.clock.msecsSinceStart();
    if (!force && m_runDisplayMs >= 0 && now - m_runDisplayMs < kDisplayIntervalMs)
        return;
    m_runDisplayMs = now;
    qint64 bytes = m_doneBytes;
    qint64 inFlight = 0;
    for (const DownloadLane &lane : m_lanes) {
        inFlight += qint64(lane.window.size());
        if (lane.headRequested())
            bytes += lane.articleBytes;
    }
    const qint64 total = m_doneCount + inFlight + m_ctx.state.pendingCount;
    m_ctx.writeLog(QStringLiteral("Downloading:") + numText(m_doneCount) + QStringLiteral(" of") +
                       numText(total) + QStringLiteral(" articles, ") + formatKb(bytes) +
                       QStringLiteral("kb [") + formatSpeed(m_ctx.clock, m_runStart, bytes) +
                       QStringLiteral(" Kbps]"),
                   false);
    m_ctx.display.setBarMaximum(ProgressBar::Article, int(std::min<qint64>(total, INT_MAX)));
    m_ctx.display.setBarValue(ProgressBar::Article, int(std::min<qint64>(m_doneCount, INT_MAX)));
}

void DownloadSession::logReply(const NntpReply &reply, const QString &suffix)
{
    m_ctx.writeLog(displayText(reply.raw) + suffix, true);
}

// A server that asks for the login in the middle of a window answers every request
// already sent the same way: those answers are read and ignored, and the requests go
// out again once the login is through.
bool DownloadSession::takeMidWindowLogin(DownloadLane &lane, const NntpReply &reply)
{
    if (replyReaction(reply.command, reply.code, reply.statusLine()) != ReplyReaction::AuthRequired ||
        !lane.headRequested())
        return false;
    for (InFlight &article : lane.window) {
        if (article.requested)
            ++lane.voidReplies;
        article.requested = false;
    }
    --lane.voidReplies; // this answer is the head's
    return true;
}

// The answer to the lane's oldest request: the article, or a refusal of it.
bool DownloadSession::articleReply(DownloadLane &lane, NntpReply &reply)
{
    const int code = reply.code;
    if (!collectingArticle(m_ctx.state.downloadState) || !lane.headRequested())
        return false;
    if ((code == 220 || code == 222) && reply.multiLine) {
        if (!discardAnswer(lane))
            articleComplete(lane, std::move(reply));
        return true;
    }
    if (code < 400)
        return false;
    switch (refusalOf(reply)) {
    case Refusal::Gone:
        if (!discardAnswer(lane))
            articleRefused(lane, reply);
        return true;
    case Refusal::ServiceGone:
        serviceClosing(lane, reply);
        return true;
    case Refusal::Temporary:
        if (!discardAnswer(lane))
            articleDeferred(lane, reply);
        return true;
    case Refusal::Session:
        break;
    }
    return false;
}

void DownloadSession::onReply(DownloadLane &lane, NntpReply &&reply)
{
    const int code = reply.code;
    if (lane.voidReplies > 0) {
        --lane.voidReplies;
        return;
    }
    if ((code == 220 || code == 222) && reply.multiLine) {
        articleReply(lane, reply);
        return;
    }
    if (m_ctx.state.downloadAbortRequested && code == 205) {
        m_ctx.writeLog(displayText(reply.raw.mid(3)) + QStringLiteral("  (disconnected)"), true);
        m_connections.closeConnection(*lane.connection);
        return;
    }
    if (!lane.connection->greeted()) {
        onFirstReply(lane, reply);
        return;
    }
    takeMidWindowLogin(lane, reply);
    m_loginLane = &lane;
    if (m_login.answer(ConnectionRole::Download, reply))
        return;
    if (articleReply(lane, reply))
        return;
    switch (code) {
    case 500:
        logReply(reply);
        break;
    case 481: // a refused login ends the session like a refused service
    case 482:
    case 502:
        sessionRefused(reply);
        break;
    case 211:
        if (lane.awaiting == DownloadLane::Awaiting::Group)
            onGroupSelected(lane);
        break;
    case 411:
        if (lane.awaiting == DownloadLane::Awaiting::Group)
            groupMissing(lane);
        break;
    case 205:
        logReply(reply);
        m_connections.closeConnection(*lane.connection);
        m_ctx.display.setBarVisible(ProgressBar::Article, false);
        break;
    case 412:
        // The later requests of the window get the same answer once the run has ended.
        if (m_state.downloadBusy)
            stopRun(true);
        break;
    default:
        break;
    }
}

void DownloadSession::sessionRefused(const NntpReply &reply)
{
    if (!m_state.downloadBusy && m_ctx.state.downloadState == DownloadState::Idle)
        return;
    logReply(reply, QStringLiteral("(disconnected)"));
    stopRun(true);
}

// A further connection the server will not serve lowers the number for this run; on the
// first one, a refused or unavailable service is the emergency path's, as a lost link.
void DownloadSession::onFirstReply(DownloadLane &lane, const NntpReply &reply)
{
    if (replyReaction(NntpCommand::None, reply.code) == ReplyReaction::Success) {
        onGreeting(lane, reply);
        return;
    }
    if (lane.index > 0 && lane.inRun) {
        lowerConnections(lane, reply.statusLine().toByteArray());
        m_connections.closeConnection(*lane.connection);
        return;
    }
    m_connections.serviceEnded(*lane.connection, reply);
}

void DownloadSession::onGreeting(DownloadLane &lane, const NntpReply &reply)
{
    logReply(reply);
    lane.connection->greet(m_ctx.clock.msecsSinceStart());
    if (lane.index > 0 && !m_state.downloadBusy) {
        // The run ended while this connection was being opened.
        m_connections.sendQuit(*lane.connection);
        return;
    }
    m_loginLane = &lane;
    m_login.greeted(ConnectionRole::Download);
    if (lane.index == 0 && m_state.downloadBusy)
        openFurtherConnections();
}

void DownloadSession::articleComplete(DownloadLane &lane, NntpReply &&reply)
{
    lane.articleBytes = qint32(reply.raw.size());
    lane.lastDisplayMs = -1;
    m_runDisplayMs = -1;
    showProgress(lane);
    // A picture's failed attempts count until its last part is in.
    if (!lane.window.front().isPart() || lane.window.front().lastPart())
        m_failedAttempts.remove(lane.articleKey());
    CapturedArticle article;
    article.articleBuffer = std::move(reply.raw);
    article.fileName = lane.articleFileName;
    article.group = lane.articleGroup;
    article.bytes = lane.articleBytes;
    article.downloadStart = lane.downloadStart;
    article.downloadEnd = m_ctx.clock.now();
    article.entry = lane.window.front().entry;
    describePart(article, lane.window.front());
    const InFlight doneItem = std::move(lane.window.front());
    const PendingEntry &done = doneItem.entry;
    lane.window.pop_front();
    lane.articleBytes = 0; // counted with the run's finished ones from here on
    ++m_doneCount;
    m_doneBytes += article.bytes;
    // The next request goes out before this article is decoded and filed, so that its
    // answer is on its way meanwhile; the next article becomes the one in hand after.
    fillWindow(lane, false);
    // The pipeline reads the article in hand (its CSV mark and subject).
    m_ctx.state.currentArticle = done;
    m_ctx.state.articleInHand = true;
    const SinkResult result = m_sink.articleRetrieved(article);
    if (result == SinkResult::NotStored) {
        lane.window.push_front(doneItem);
        articleNotStored();
        return;
    }
    if (result == SinkResult::PictureDropped) {
        dropRestOfPicture(doneItem);
        fillWindow(lane, false);
    }
    if (result == SinkResult::Taken)
        m_handedOver.push_back(doneItem);
    if (m_showRunTotals)
        showRunProgress(true); // the decoder used the bar meanwhile
    if (lane.window.empty()) {
        updateInHand();
        advance(lane);
        return;
    }
    holdHead(lane);
}

// The server has no such article (RFC 3977 6.2, 423 by number, 430 by message-id):
// the entry is dropped and the run goes on with the next one on the open connection.
void DownloadSession::articleRefused(DownloadLane &lane, const NntpReply &reply)
{
    if (lane.window.front().isPart())
        partRefused(lane, reply);
    else if (reply.code == 423)
        m_ctx.writeLog(QStringLiteral("bad article number!"), true);
    else
        m_ctx.writeLog(QStringLiteral("Article not available: ") + displayText(lane.articleFileName) +
                           QStringLiteral(" (") + displayText(reply.statusLine().toByteArray()) +
                           QStringLiteral(")"),
                       true);
    m_failedAttempts.remove(lane.articleKey());
    popHead(lane);
    advance(lane);
}

// A refusal that may pass (a 4xx says a well-formed command failed for some reason,
// RFC 3977 3.2; 403 is a fault inside the server, 503 a feature not available): the
// article goes back to the head of the list and the run ends there rather than go
// on. Whatever made the server refuse this article would most likely refuse the next
// ones too, and each would use up one of its attempts; the next run starts with it,
// followed by the other unanswered ones.
void DownloadSession::articleDeferred(DownloadLane &lane, const NntpReply &reply)
{
    const QByteArray answer = reply.statusLine().toByteArray();
    if (attemptFailed(lane, answer))
        logKept(lane, answer);
    else
        dropHead(lane);
    stopRun(true);
}

// The article came whole but could not be stored (the sink has said why): it is not
// the article's fault, so it goes back to the head of the list, before the unanswered
// ones, without using up an attempt, and the run stops, as the next article would fail
// the same way. The circle comes back later as after a lost connection. The
// connections are closed at once, so that the last word on the status line is why the
// downloads stopped.
void DownloadSession::articleNotStored()
{
    requeueUnanswered();
    m_ctx.state.downloadState = DownloadState::Idle;
    m_state.downloadBusy = false;
    m_missingGroups.clear();
    for (DownloadLane &lane : m_lanes) {
        lane.awaiting = DownloadLane::Awaiting::Nothing;
        if (lane.inRun || lane.index == 0)
            m_connections.closeConnection(*lane.connection);
    }
    m_ctx.display.setDownloadLightBusy(false);
    m_ctx.display.setBarVisible(ProgressBar::Article, false);
    QString again;
    if (m_ctx.settings.checked(u"chkAllowRestart")) {
        m_countdown.arm(kRetryAfterWriteFailureSeconds);
        again = QStringLiteral("; trying again in") + numText(kRetryAfterWriteFailureSeconds) +
                QStringLiteral(" seconds");
    }
    m_ctx.writeLog(QStringLiteral("disk full: downloads stopped, the queue is kept") + again, true);
    m_events.runStopped(true);
}

// 400 (RFC 3977 3.2.1): the server is going away and closes the connection after this
// answer. The emergency reconnect takes over, and counts the attempt as one of its own.
void DownloadSession::serviceClosing(DownloadLane &lane, const NntpReply &reply)
{
    m_closingAnswer = reply.statusLine().toByteArray();
    m_connections.emergencyReconnect(*lane.connection);
    m_closingAnswer.clear();
}

// The server does not carry the group: its entries stay queued for a later run and
// this run goes on with the other groups.
void DownloadSession::groupMissing(DownloadLane &lane)
{
    const QByteArray group = lane.window.empty() ? lane.group : lane.articleGroup;
    m_ctx.writeLog(QStringLiteral("Error, no such news group ") + displayText(group), true);
    m_missingGroups.insert(group);
    lane.awaiting = DownloadLane::Awaiting::Nothing;
    requeueLanes(false, &lane);
    lane.group.clear();
    advance(lane);
}

} // namespace kestrel
