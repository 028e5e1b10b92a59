#include "circle/download_session.h"

#include "circle/article_sink.h"
#include "circle/connections.h"
#include "circle/download_events.h"
#include "circle/scan_display.h"
#include "circle/session_state.h"
#include "nntp/nntp_outcome.h"
#include "nntp/transfer_text.h"

#include "base/context.h"
#include "base/number_text.h"
#include "base/text_util.h"
#include "circle/rescan_countdown.h"
#include "scan/header_filter.h"
#include "scan/pending_list_model.h"

#include <cmath>
#include <utility>

namespace kestrel {

namespace {

constexpr qint64 kDisplayIntervalMs = 50;
constexpr int kAttemptsPerArticle = 3;

// While an article is on its way (taken, its group asked for or selected), the bytes
// that arrive count towards it.
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

// As long as after a lost connection: room on a disk is rarely made in seconds.
constexpr int RetryAfterWriteFailureSeconds = 90;

Refusal refusalOf(int code)
{
    switch (code) {
    case 423:
    case 430:
        return Refusal::Gone;
    case 412:
    case 481:
    case 482:
    case 502:
        return Refusal::Session;
    default:
        break;
    }
    // Whatever else a server answers to BODY or ARTICLE (a fault, a refusal it does
    // not explain, a code nobody defined) does not say the article is gone; the
    // attempts counted per article keep a lasting refusal from coming back for ever.
    return nntpOutcome(code) == NntpOutcome::ConnectError ? Refusal::ServiceGone : Refusal::Temporary;
}

} // namespace

DownloadSession::DownloadSession(Context &ctx, SessionState &state, Connections &connections, Login &login,
                                 PendingListModel &pending, FilterCounters &counters, ArticleSink &sink,
                                 RescanCountdown &countdown, DownloadEvents &events)
    : m_ctx(ctx), m_state(state), m_connections(connections), m_connection(connections.download()),
      m_login(login), m_pending(pending), m_counters(counters), m_sink(sink), m_countdown(countdown),
      m_events(events)
{
}

QByteArray DownloadSession::articleKey() const
{
    return m_articleGroup + '/' + QByteArray::number(m_articleTag);
}

void DownloadSession::removeBlankEntries()
{
    for (int i = m_pending.count() - 1; i >= 0; --i)
        if (trimSpaces(m_pending.entry(i).text).isEmpty())
            m_pending.takeAt(i);
}

int DownloadSession::nextEntry() const
{
    for (int i = 0; i < m_pending.count(); ++i) {
        const PendingEntry &e = m_pending.entry(i);
        if (!e.ghosted && !trimSpaces(e.text).isEmpty() && !m_missingGroups.contains(e.sub.newsgroup))
            return i;
    }
    return -1;
}

void DownloadSession::downloadNext()
{
    if (m_ctx.state.scanning) {
        m_ctx.prompter.message(QStringLiteral("Stop scan first."));
        return;
    }
    if (m_state.downloadBusy)
        return;
    m_connections.loginPort();
    m_events.runStarting();
    m_state.downloadBusy = true;
    m_ctx.display.setBarVisible(ProgressBar::Article, true);
    m_ctx.display.setGroupText(QString());
    m_ctx.state.downloadAbortRequested = false;
    m_ctx.display.setScanEnabled(false);
    m_ctx.display.setDownloadLightBusy(true);

    removeBlankEntries();
    // An article still in hand from a run that ended without finishing it goes back
    // first, so that taking the next one cannot overwrite it.
    if (m_ctx.state.articleInHand) {
        m_pending.requeueArticle();
        m_ctx.state.articleInHand = false;
    }
    const int index = nextEntry();
    if (index < 0) {
        endRun();
        return;
    }
    const PendingEntry entry = m_pending.entry(index);
    m_downloadStart = m_ctx.clock.now();
    m_articleGroup = entry.sub.newsgroup;
    m_articleTag = entry.tag;
    m_articleFileName = entry.text;
    m_articleBytes = 0;
    m_articleExpectedBytes = qint32(std::lround(numericValue(entry.sub.text(ColLines)) * 66.0));
    m_ctx.display.setBarMaximum(ProgressBar::Article, m_articleExpectedBytes);
    m_ctx.display.setBarValue(ProgressBar::Article, 0);
    m_lastDisplayMs = -1;
    m_ctx.writeLog(QStringLiteral("Downloading: ") + displayText(m_articleFileName), false);

    NntpConnection &tcp = m_connection.socket();
    if (m_ctx.state.downloadState == DownloadState::ArticleDone && tcp.isConnected()) {
        if (m_articleGroup != m_downloadGroup) {
            m_downloadGroup = m_articleGroup;
            if (!m_downloadGroup.isEmpty()) {
                m_connection.send("GROUP " + m_downloadGroup);
                m_awaiting = Awaiting::Group;
            } else {
                requestArticle();
            }
        } else {
            requestArticle();
        }
    } else {
        if (tcp.state() == QAbstractSocket::ClosingState) {
            tcp.close();
            m_ctx.writeLog(QStringLiteral("Download Connection Error, please wait..."), true);
        }
        if (tcp.isConnected()) {
            // An open connection in an unknown state (a QUIT may be on its way) is no
            // use for a new run; a fresh one is.
            m_ctx.writeLog(QStringLiteral("Already Connected!"), true);
            tcp.close();
        }
        m_awaiting = Awaiting::Nothing;
        m_connections.connectDownload();
    }
    m_ctx.state.downloadState = DownloadState::Started;

    m_ctx.state.currentArticle = entry;
    m_ctx.state.articleInHand = true;
    m_pending.takeAt(index);
    m_ctx.display.setCounter(QStringLiteral("lblPending"), m_ctx.state.pendingCount);
}

void DownloadSession::endRun()
{
    m_ctx.state.downloadState = DownloadState::Idle;
    m_state.downloadBusy = false;
    m_awaiting = Awaiting::Nothing;
    m_connections.sendQuit(m_connection);
    m_ctx.display.setDownloadLightBusy(false);
    m_ctx.writeLog(QStringLiteral("Done!"), false);
    m_ctx.display.setBarVisible(ProgressBar::Article, false);
    resetScanBars(m_ctx.display);
    m_missingGroups.clear();
    if (m_ctx.settings.checked(u"chkReScan") && m_counters.scanHeaderCount > 0) {
        const int seconds = m_ctx.settings.slider(u"sldRescan");
        m_countdown.arm(seconds);
        m_ctx.writeLog(QStringLiteral("Rescan in") + numText(m_ctx.state.rescanCountdown) +
                           QStringLiteral(" seconds."),
                       true);
    }
    m_events.runStopped(false);
}

void DownloadSession::selectDownloadGroup()
{
    m_downloadStart = m_ctx.clock.now();
    m_downloadGroup = m_articleGroup;
    m_ctx.display.setScanEnabled(false);
    if (!m_articleGroup.isEmpty()) {
        m_connection.send("GROUP " + m_articleGroup);
        m_awaiting = Awaiting::Group;
    } else {
        requestArticle();
    }
}

void DownloadSession::requestArticle()
{
    m_articleNumber = m_articleTag;
    const QByteArray verb = m_ctx.settings.checked(u"chkSaveHeaders") ? "ARTICLE " : "BODY ";
    m_awaiting = Awaiting::Article;
    m_connection.send(verb + numBytes(m_articleNumber));
}

void DownloadSession::abortDownload()
{
    if (!m_state.downloadBusy) {
        m_ctx.prompter.message(
            QStringLiteral("Use this button to stop the download process, there is not currently "
                           "anything downloading."));
        return;
    }
    m_ctx.state.downloadAbortRequested = true;
    m_state.downloadBusy = false;
    m_ctx.state.downloadState = DownloadState::Idle;
    m_awaiting = Awaiting::Nothing;
    m_connections.sendQuit(m_connection);
    m_connections.closeConnection(m_connection);
    m_ctx.writeLog(QStringLiteral("User Abort!"), true);
    m_ctx.display.setDownloadLightBusy(false);
    m_ctx.display.setBarVisible(ProgressBar::Article, false);
    m_missingGroups.clear();
    m_events.runStopped(false);
}

void DownloadSession::emergencyOnArticleInHand()
{
    m_awaiting = Awaiting::Nothing;
    const QByteArray answer = std::exchange(m_closingAnswer, {});
    if (!m_ctx.state.articleInHand)
        return;
    if (!attemptFailed(answer))
        m_ctx.state.articleInHand = false;
    else if (!answer.isEmpty())
        logKept(answer);
}

bool DownloadSession::attemptFailed(const QByteArray &answer)
{
    const QByteArray key = articleKey();
    const int count = ++m_failedAttempts[key];
    if (count < kAttemptsPerArticle)
        return true;
    m_failedAttempts.remove(key);
    QString line = QStringLiteral("Dropped after") + numText(count) + QStringLiteral(" failed attempts: ") +
                   displayText(m_articleFileName);
    if (!answer.isEmpty())
        line += QStringLiteral(" (") + displayText(answer) + QStringLiteral(")");
    m_ctx.writeLog(line, true);
    return false;
}

void DownloadSession::logKept(const QByteArray &answer)
{
    m_ctx.writeLog(QStringLiteral("Article ") + displayText(m_articleFileName) +
                       QStringLiteral(": server answered ") + displayText(answer) +
                       QStringLiteral("; kept for the next run."),
                   true);
}

// ---- replies ----------------------------------------------------------------------

void DownloadSession::onData(qsizetype bytes)
{
    m_connection.touch(m_ctx.clock.now());
    NntpConnection &tcp = m_connection.socket();
    if (!tcp.isConnected()) {
        m_ctx.writeLog(QStringLiteral("Download Connection Error..."), true);
        m_connections.sendQuit(m_connection);
    }
    const bool collecting = collectingArticle(m_ctx.state.downloadState);
    if (collecting && m_awaiting == Awaiting::Article) {
        m_articleBytes += qint32(bytes);
        showProgress();
    }
    ReplyReader &reader = tcp.reader();
    while (tcp.isConnected()) {
        const ReplyReader::Event event = reader.next();
        if (event == ReplyReader::Event::NeedMore)
            break;
        if (event == ReplyReader::Event::Overflow) {
            m_ctx.writeLog(QStringLiteral("Article too long, dropped: ") + displayText(m_articleFileName),
                           true);
            m_ctx.state.articleInHand = false;
            m_ctx.state.downloadState = DownloadState::Idle;
            m_state.downloadBusy = false;
            m_connections.closeConnection(m_connection);
            downloadNext();
            return;
        }
        if (event == ReplyReader::Event::Reply)
            onReply(reader.takeReply());
    }
}

void DownloadSession::showProgress()
{
    const qint64 now = m_ctx.clock.msecsSinceStart();
    if (m_lastDisplayMs >= 0 && now - m_lastDisplayMs < kDisplayIntervalMs)
        return;
    m_lastDisplayMs = now;
    m_ctx.writeLog(QStringLiteral("Downloading: ") + displayText(m_articleFileName) + QLatin1Char(' ') +
                       kiloBytesText(m_articleBytes) + QStringLiteral("kb [") +
                       transferSpeedText(m_downloadStart, m_ctx.clock.now(), m_articleBytes) +
                       QStringLiteral(" Kbps]"),
                   false);
    const int maximum = m_ctx.display.bar(ProgressBar::Article).maximum;
    if (m_articleBytes >= 1 && m_articleBytes < maximum)
        m_ctx.display.setBarValue(ProgressBar::Article, m_articleBytes);
    else if (m_articleBytes > maximum)
        m_ctx.display.setBarValue(ProgressBar::Article, maximum);
}

void DownloadSession::logReply(const NntpReply &reply, const QString &suffix)
{
    m_ctx.writeLog(displayText(reply.raw) + suffix, true);
}

void DownloadSession::onReply(NntpReply &&reply)
{
    const int code = reply.code;
    const bool collecting = collectingArticle(m_ctx.state.downloadState);

    if ((code == 220 || code == 222) && reply.multiLine) {
        if (collecting && m_awaiting == Awaiting::Article)
            articleComplete(std::move(reply));
        return;
    }
    if (m_ctx.state.downloadAbortRequested && code == 205) {
        m_ctx.writeLog(displayText(reply.raw.mid(3)) + QStringLiteral("  (disconnected)"), true);
        m_connections.closeConnection(m_connection);
        return;
    }
    if (m_login.answer(ConnectionRole::Download, code))
        return;
    if (m_awaiting == Awaiting::Article && collecting && code >= 400) {
        switch (refusalOf(code)) {
        case Refusal::Gone:
            articleRefused(reply);
            return;
        case Refusal::ServiceGone:
            serviceClosing(reply);
            return;
        case Refusal::Temporary:
            articleDeferred(reply);
            return;
        case Refusal::Session:
            break;
        }
    }
    switch (code) {
    case 500:
        logReply(reply);
        break;
    case 200:
    case 201:
        onGreeting(reply);
        break;
    case 202:
        logReply(reply);
        selectDownloadGroup();
        break;
    case 481: // a refused login ends the session like a refused service
    case 482:
    case 502:
        logReply(reply, QStringLiteral("(disconnected)"));
        m_connections.sendQuit(m_connection);
        m_ctx.state.downloadState = DownloadState::Idle;
        m_state.downloadBusy = false;
        m_awaiting = Awaiting::Nothing;
        m_ctx.display.setDownloadLightBusy(false);
        m_ctx.display.setBarVisible(ProgressBar::Article, false);
        m_events.runStopped(true);
        break;
    case 211:
        if (m_awaiting == Awaiting::Group) {
            m_ctx.state.downloadState = DownloadState::GroupSelected;
            m_downloadStart = m_ctx.clock.now();
            m_articleBytes = 0;
            requestArticle();
        }
        break;
    case 411:
        if (m_awaiting == Awaiting::Group)
            groupMissing();
        break;
    case 205:
        logReply(reply);
        m_connections.closeConnection(m_connection);
        m_ctx.display.setBarVisible(ProgressBar::Article, false);
        break;
    case 412:
        if (m_ctx.state.articleInHand) {
            m_pending.requeueArticle();
            m_ctx.state.articleInHand = false;
        }
        m_ctx.state.downloadState = DownloadState::Idle;
        m_state.downloadBusy = false;
        m_awaiting = Awaiting::Nothing;
        m_connections.sendQuit(m_connection);
        m_events.runStopped(true);
        break;
    default:
        break;
    }
}

void DownloadSession::onGreeting(const NntpReply &reply)
{
    logReply(reply);
    m_connection.greet(m_ctx.clock.now());
    m_login.greeted(ConnectionRole::Download);
}

void DownloadSession::articleComplete(NntpReply &&reply)
{
    m_awaiting = Awaiting::Nothing;
    m_articleBytes = qint32(reply.raw.size());
    m_lastDisplayMs = -1;
    showProgress();
    m_failedAttempts.remove(articleKey());
    CapturedArticle article;
    article.articleBuffer = std::move(reply.raw);
    article.fileName = m_articleFileName;
    article.group = m_articleGroup;
    article.bytes = m_articleBytes;
    article.downloadStart = m_downloadStart;
    if (m_sink.articleRetrieved(article) == SinkResult::NotStored) {
        articleNotStored();
        return;
    }
    m_ctx.state.articleInHand = false;
    m_state.downloadBusy = false;
    m_ctx.state.downloadState = DownloadState::ArticleDone;
    downloadNext();
}

// The server has no such article (RFC 3977 6.2, 423 by number, 430 by message-id):
// the entry is dropped and the run goes on with the next one on the open connection.
void DownloadSession::articleRefused(const NntpReply &reply)
{
    if (reply.code == 423)
        m_ctx.writeLog(QStringLiteral("bad article number!"), true);
    else
        m_ctx.writeLog(QStringLiteral("Article not available: ") + displayText(m_articleFileName) +
                           QStringLiteral(" (") + displayText(reply.statusLine().toByteArray()) +
                           QStringLiteral(")"),
                       true);
    m_awaiting = Awaiting::Nothing;
    m_failedAttempts.remove(articleKey());
    m_ctx.state.downloadState = DownloadState::ArticleDone;
    m_state.downloadBusy = false;
    m_ctx.state.articleInHand = false;
    downloadNext();
}

// A refusal that may pass (a 4xx says a well-formed command failed for some reason,
// RFC 3977 3.2; 403 is a fault inside the server, 503 a feature not available): the
// article goes back to the head of the list and the run ends there rather than go
// on. Whatever made the server refuse this article would most likely refuse the next
// ones too, and each would use up one of its attempts; the next run starts with it.
void DownloadSession::articleDeferred(const NntpReply &reply)
{
    m_awaiting = Awaiting::Nothing;
    const QByteArray answer = reply.statusLine().toByteArray();
    if (attemptFailed(answer)) {
        logKept(answer);
        m_pending.requeueArticle();
    }
    stopOnError();
}

// The article came whole but could not be stored (the sink has said why): it is not
// the article's fault, so it goes back to the head of the list without using up an
// attempt, and the run stops, as the next article would fail the same way. The circle
// comes back later as after a lost connection. The connection is closed at once, so
// that the last word on the status line is why the downloads stopped.
void DownloadSession::articleNotStored()
{
    m_pending.requeueArticle();
    m_ctx.state.articleInHand = false;
    m_connections.closeConnection(m_connection);
    m_awaiting = Awaiting::Nothing;
    m_ctx.state.downloadState = DownloadState::Idle;
    m_state.downloadBusy = false;
    m_missingGroups.clear();
    m_ctx.display.setDownloadLightBusy(false);
    m_ctx.display.setBarVisible(ProgressBar::Article, false);
    QString again;
    if (m_ctx.settings.checked(u"chkAllowRestart")) {
        m_countdown.arm(RetryAfterWriteFailureSeconds);
        again = QStringLiteral("; trying again in") + numText(RetryAfterWriteFailureSeconds) +
                QStringLiteral(" seconds");
    }
    m_ctx.writeLog(QStringLiteral("disk full: downloads stopped, the queue is kept") + again, true);
    m_events.runStopped(true);
}

void DownloadSession::stopOnError()
{
    m_ctx.state.articleInHand = false;
    m_ctx.state.downloadState = DownloadState::Idle;
    m_state.downloadBusy = false;
    m_missingGroups.clear();
    m_connections.sendQuit(m_connection);
    m_ctx.display.setDownloadLightBusy(false);
    m_ctx.display.setBarVisible(ProgressBar::Article, false);
    m_events.runStopped(true);
}

// 400 (RFC 3977 3.2.1): the server is going away and closes the connection after this
// answer. The emergency reconnect takes over, and counts the attempt as one of its own.
void DownloadSession::serviceClosing(const NntpReply &reply)
{
    m_closingAnswer = reply.statusLine().toByteArray();
    m_connections.emergencyReconnect(m_connection);
    m_closingAnswer.clear();
}

// The server does not carry the group: its entries stay queued for a later run and
// this run goes on with the other groups.
void DownloadSession::groupMissing()
{
    m_ctx.writeLog(QStringLiteral("Error, no such news group ") + displayText(m_articleGroup), true);
    m_missingGroups.insert(m_articleGroup);
    m_awaiting = Awaiting::Nothing;
    if (m_ctx.state.articleInHand) {
        m_pending.requeueArticle();
        m_ctx.state.articleInHand = false;
    }
    m_downloadGroup.clear();
    m_ctx.state.downloadState = DownloadState::ArticleDone;
    m_state.downloadBusy = false;
    downloadNext();
}

// ---- login port -------------------------------------------------------------------

void DownloadSession::sendLoginLine(const QByteArray &line)
{
    m_connection.send(line);
}

void DownloadSession::loginComplete()
{
    selectDownloadGroup();
}

void DownloadSession::userNameMissing()
{
    m_ctx.state.downloadState = DownloadState::Idle;
    m_state.downloadBusy = false;
    m_connections.sendQuit(m_connection);
    m_events.runStopped(true);
}

void DownloadSession::passwordMissing()
{
    userNameMissing();
    m_events.showLoginWindow();
}

} // namespace kestrel
