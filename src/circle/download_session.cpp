#include "circle/download_session.h"

#include "circle/article_sink.h"
#include "circle/connections.h"
#include "circle/download_events.h"
#include "circle/scan_display.h"
#include "circle/session_connection.h"
#include "circle/session_state.h"
#include "nntp/nntp_outcome.h"
#include "nntp/transfer_text.h"

#include "base/context.h"
#include "base/number_text.h"
#include "base/text_util.h"
#include "circle/rescan_countdown.h"
#include "scan/header_filter.h"
#include "scan/pending_list_model.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace kestrel {

namespace {

constexpr qint64 kDisplayIntervalMs = 50;
constexpr int kAttemptsPerArticle = 3;
// The watchdog judges in whole seconds; stamping the activity at most this often keeps
// reading the wall clock (a look at the time zone each time) off every socket read.
constexpr qint64 kTouchIntervalMs = 250;
constexpr int kMaxWindow = 32;
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
    : m_ctx(ctx), m_state(state), m_connections(connections), m_login(login), m_pending(pending),
      m_counters(counters), m_sink(sink), m_countdown(countdown), m_events(events)
{
    for (SessionConnection *c : connections.downloads()) {
        DownloadLane lane;
        lane.connection = c;
        lane.index = int(m_lanes.size());
        m_lanes.push_back(std::move(lane));
    }
    m_loginLane = &m_lanes.front();
}

DownloadLane &DownloadSession::laneOf(SessionConnection &connection)
{
    for (DownloadLane &lane : m_lanes)
        if (lane.connection == &connection)
            return lane;
    return m_lanes.front();
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

int DownloadSession::windowSize() const
{
    return std::clamp(m_ctx.settings.slider(u"sldPipeline"), 1, kMaxWindow);
}

bool DownloadSession::anyInFlight() const
{
    return std::any_of(m_lanes.begin(), m_lanes.end(),
                       [](const DownloadLane &l) { return !l.window.empty(); });
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
    // Articles still in hand from a run that ended without their answers go back first,
    // so that taking the next ones cannot overwrite them.
    requeueUnanswered();
    m_taken = 0;
    const int index = nextEntry();
    if (index < 0) {
        endRun();
        return;
    }
    for (DownloadLane &lane : m_lanes) {
        lane.inRun = false;
        lane.awaiting = DownloadLane::Awaiting::Nothing;
        lane.voidReplies = 0;
    }
    m_runConnections = std::clamp(m_ctx.settings.slider(u"sldConnections"), 1, int(m_lanes.size()));
    m_furtherOpened = false;
    DownloadLane &first = m_lanes.front();
    NntpConnection &tcp = first.connection->socket();
    if (tcp.state() == QAbstractSocket::ClosingState) {
        tcp.close();
        m_ctx.writeLog(QStringLiteral("Download Connection Error, please wait..."), true);
    }
    if (tcp.isConnected()) {
        // An open connection in an unknown state (a QUIT may be on its way, replies to an
        // ended run may still come) is no use for a new run; a fresh one is.
        m_ctx.writeLog(QStringLiteral("Already Connected!"), true);
        tcp.close();
    }
    first.inRun = true;
    m_connections.connectDownload(*first.connection);
    m_ctx.state.downloadState = DownloadState::Started;
    takeEntry(first, index);
}

// The further connections are opened once the first one was greeted, so that a server
// that cannot be reached at all fails the run as it always did.
void DownloadSession::openFurtherConnections()
{
    if (m_furtherOpened)
        return;
    m_furtherOpened = true;
    for (int i = 1; i < m_runConnections; ++i) {
        DownloadLane &lane = m_lanes[size_t(i)];
        lane.connection->socket().close();
        lane.inRun = true;
        m_connections.connectDownload(*lane.connection);
    }
}

// The server refused a further connection (a limit on connections per account): the
// run goes on with the ones it has.
void DownloadSession::lowerConnections(DownloadLane &lane, const QByteArray &why)
{
    lane.inRun = false;
    m_runConnections = std::max(1, m_runConnections - 1);
    m_ctx.writeLog(QStringLiteral("Download connection") + numText(lane.index + 1) +
                       QStringLiteral(" refused (") + displayText(why) +
                       QStringLiteral("); this run goes on with") + numText(m_runConnections) +
                       QStringLiteral(" connection(s)."),
                   true);
    requeueLanes(false, &lane);
}

bool DownloadSession::connectionRefused(SessionConnection &connection)
{
    DownloadLane &lane = laneOf(connection);
    if (lane.index == 0 || !lane.inRun || connection.greeted())
        return false;
    lowerConnections(lane, "no greeting");
    return true;
}

// Takes the entry off the list into the lane's window; the first one taken becomes
// the lane's article in hand (unless hold is false: the caller makes it so later).
void DownloadSession::takeEntry(DownloadLane &lane, int index, bool hold)
{
    lane.window.push_back({m_pending.entry(index), m_taken++, false});
    m_pending.takeAt(index);
    m_ctx.display.setCounter(QStringLiteral("lblPending"), m_ctx.state.pendingCount);
    if (hold && lane.window.size() == 1)
        holdHead(lane);
}

// The oldest unanswered article of a connection is the one whose reply comes next: it
// is the article in hand, and the progress, the speed and the log lines are about it.
void DownloadSession::holdHead(DownloadLane &lane)
{
    const PendingEntry &entry = lane.window.front().entry;
    m_ctx.state.currentArticle = entry;
    m_ctx.state.articleInHand = true;
    lane.downloadStart = m_ctx.clock.now();
    lane.articleGroup = entry.sub.newsgroup;
    lane.articleTag = entry.tag;
    lane.articleFileName = entry.text;
    lane.articleBytes = 0;
    const qint32 expected = qint32(std::lround(numericValue(entry.sub.text(ColLines)) * 66.0));
    m_ctx.display.setBarMaximum(ProgressBar::Article, expected);
    m_ctx.display.setBarValue(ProgressBar::Article, 0);
    lane.lastDisplayMs = -1;
    m_ctx.writeLog(QStringLiteral("Downloading: ") + displayText(lane.articleFileName), false);
}

void DownloadSession::popHead(DownloadLane &lane)
{
    lane.window.pop_front();
    if (!lane.window.empty())
        holdHead(lane);
    updateInHand();
}

void DownloadSession::updateInHand()
{
    m_ctx.state.articleInHand = anyInFlight();
}

// Puts the unanswered articles of every lane (all) or of one back at the head of the
// list, in the order they were taken.
void DownloadSession::requeueLanes(bool all, DownloadLane *only)
{
    std::vector<InFlight> back;
    for (DownloadLane &lane : m_lanes) {
        if (!all && &lane != only)
            continue;
        for (InFlight &article : lane.window)
            back.push_back(std::move(article));
        lane.window.clear();
    }
    std::sort(back.begin(), back.end(),
              [](const InFlight &a, const InFlight &b) { return a.order < b.order; });
    // Each goes in at the head, so the last one goes first.
    for (auto it = back.rbegin(); it != back.rend(); ++it) {
        m_ctx.state.currentArticle = it->entry;
        m_pending.requeueArticle();
    }
    updateInHand();
}

void DownloadSession::requeueUnanswered()
{
    requeueLanes(true, nullptr);
}

void DownloadSession::connectionClosed(SessionConnection &connection)
{
    requeueLanes(false, &laneOf(connection));
}

void DownloadSession::request(DownloadLane &lane, InFlight &article)
{
    const QByteArray verb = m_ctx.settings.checked(u"chkSaveHeaders") ? "ARTICLE " : "BODY ";
    article.requested = true;
    lane.connection->send(verb + numBytes(article.entry.tag));
}

// Requests what is taken but not yet asked for, then takes and requests further
// entries of the lane's group until its window is full. An entry of another group
// waits until every request of this one has been answered.
void DownloadSession::fillWindow(DownloadLane &lane, bool hold)
{
    for (InFlight &article : lane.window)
        if (!article.requested)
            request(lane, article);
    const size_t limit = size_t(windowSize());
    while (lane.window.size() < limit) {
        const int index = nextEntry();
        if (index < 0 || m_pending.entry(index).sub.newsgroup != lane.group)
            return;
        takeEntry(lane, index, hold);
        request(lane, lane.window.back());
    }
}

// The lane's head was answered and has left the window: go on with the next.
void DownloadSession::advance(DownloadLane &lane)
{
    if (!lane.window.empty()) {
        fillWindow(lane);
        return;
    }
    const int index = nextEntry();
    if (index < 0) {
        // This connection is done; the run ends with the last answer on any of them.
        if (!anyInFlight())
            endRun();
        return;
    }
    takeEntry(lane, index);
    if (lane.articleGroup != lane.group) {
        lane.group = lane.articleGroup;
        if (!lane.group.isEmpty()) {
            lane.connection->send("GROUP " + lane.group);
            lane.awaiting = DownloadLane::Awaiting::Group;
            return;
        }
    }
    fillWindow(lane);
}

void DownloadSession::quitAll()
{
    for (DownloadLane &lane : m_lanes)
        if (lane.inRun || lane.index == 0)
            m_connections.sendQuit(*lane.connection);
}

void DownloadSession::endRun()
{
    m_ctx.state.downloadState = DownloadState::Idle;
    m_state.downloadBusy = false;
    for (DownloadLane &lane : m_lanes)
        lane.awaiting = DownloadLane::Awaiting::Nothing;
    quitAll();
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

void DownloadSession::stopRun(bool error)
{
    requeueUnanswered();
    m_ctx.state.downloadState = DownloadState::Idle;
    m_state.downloadBusy = false;
    for (DownloadLane &lane : m_lanes)
        lane.awaiting = DownloadLane::Awaiting::Nothing;
    m_missingGroups.clear();
    quitAll();
    m_ctx.display.setDownloadLightBusy(false);
    m_ctx.display.setBarVisible(ProgressBar::Article, false);
    m_events.runStopped(error);
}

// The connection is ready (greeted, logged in): nothing has been asked on it yet. The
// first connection selects the group of the article it took; a further one, the group
// of the next entry on the list.
void DownloadSession::selectDownloadGroup(DownloadLane &lane)
{
    if (!m_state.downloadBusy)
        return;
    for (InFlight &article : lane.window)
        article.requested = false;
    QByteArray group;
    if (!lane.window.empty()) {
        group = lane.articleGroup;
    } else {
        const int index = nextEntry();
        if (index < 0)
            return;
        group = m_pending.entry(index).sub.newsgroup;
    }
    lane.downloadStart = m_ctx.clock.now();
    lane.group = group;
    m_ctx.display.setScanEnabled(false);
    if (!group.isEmpty()) {
        lane.connection->send("GROUP " + group);
        lane.awaiting = DownloadLane::Awaiting::Group;
    } else {
        fillWindow(lane);
    }
}

void DownloadSession::onGroupSelected(DownloadLane &lane)
{
    lane.awaiting = DownloadLane::Awaiting::Nothing;
    if (!m_state.downloadBusy)
        return;
    m_ctx.state.downloadState = DownloadState::GroupSelected;
    lane.downloadStart = m_ctx.clock.now();
    lane.articleBytes = 0;
    fillWindow(lane);
    // The other connections took this group's entries meanwhile: go on with the next.
    if (lane.window.empty())
        advance(lane);
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
    // All at once, before the connections close one by one, so that the list order
    // holds across them.
    requeueUnanswered();
    for (DownloadLane &lane : m_lanes) {
        lane.awaiting = DownloadLane::Awaiting::Nothing;
        if (!lane.inRun && lane.index != 0)
            continue;
        m_connections.sendQuit(*lane.connection);
        m_connections.closeConnection(*lane.connection);
    }
    m_ctx.writeLog(QStringLiteral("User Abort!"), true);
    m_ctx.display.setDownloadLightBusy(false);
    m_ctx.display.setBarVisible(ProgressBar::Article, false);
    m_missingGroups.clear();
    m_events.runStopped(false);
}

void DownloadSession::emergency(SessionConnection &connection)
{
    DownloadLane &lane = laneOf(connection);
    const QByteArray answer = std::exchange(m_closingAnswer, {});
    for (DownloadLane &l : m_lanes) {
        l.awaiting = DownloadLane::Awaiting::Nothing;
        l.voidReplies = 0;
    }
    // Only the article being received had its chance; the ones behind it go back
    // without a failed attempt.
    if (!lane.window.empty()) {
        if (!attemptFailed(lane, answer))
            lane.window.pop_front();
        else if (!answer.isEmpty())
            logKept(lane, answer);
    }
    requeueUnanswered();
    for (DownloadLane &other : m_lanes) {
        if (&other != &lane && other.inRun) {
            other.inRun = false;
            m_connections.closeConnection(*other.connection);
        }
    }
}

bool DownloadSession::attemptFailed(DownloadLane &lane, const QByteArray &answer)
{
    const QByteArray key = lane.articleKey();
    const int count = ++m_failedAttempts[key];
    if (count < kAttemptsPerArticle)
        return true;
    m_failedAttempts.remove(key);
    QString line = QStringLiteral("Dropped after") + numText(count) + QStringLiteral(" failed attempts: ") +
                   displayText(lane.articleFileName);
    if (!answer.isEmpty())
        line += QStringLiteral(" (") + displayText(answer) + QStringLiteral(")");
    m_ctx.writeLog(line, true);
    return false;
}

void DownloadSession::logKept(const DownloadLane &lane, const QByteArray &answer)
{
    m_ctx.writeLog(QStringLiteral("Article ") + displayText(lane.articleFileName) +
                       QStringLiteral(": server answered ") + displayText(answer) +
                       QStringLiteral("; kept for the next run."),
                   true);
}

// ---- replies ----------------------------------------------------------------------

void DownloadSession::touchConnection(DownloadLane &lane)
{
    const qint64 ms = m_ctx.clock.msecsSinceStart();
    if (lane.lastTouchMs >= 0 && ms >= lane.lastTouchMs && ms - lane.lastTouchMs < kTouchIntervalMs)
        return;
    lane.lastTouchMs = ms;
    lane.connection->touch(m_ctx.clock.now());
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
        lane.window.pop_front();
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
    const qint64 now = m_ctx.clock.msecsSinceStart();
    if (lane.lastDisplayMs >= 0 && now - lane.lastDisplayMs < kDisplayIntervalMs)
        return;
    lane.lastDisplayMs = now;
    m_ctx.writeLog(QStringLiteral("Downloading: ") + displayText(lane.articleFileName) + QLatin1Char(' ') +
                       kiloBytesText(lane.articleBytes) + QStringLiteral("kb [") +
                       transferSpeedText(lane.downloadStart, m_ctx.clock.now(), lane.articleBytes) +
                       QStringLiteral(" Kbps]"),
                   false);
    const int maximum = m_ctx.display.bar(ProgressBar::Article).maximum;
    if (lane.articleBytes >= 1 && lane.articleBytes < maximum)
        m_ctx.display.setBarValue(ProgressBar::Article, lane.articleBytes);
    else if (lane.articleBytes > maximum)
        m_ctx.display.setBarValue(ProgressBar::Article, maximum);
}

void DownloadSession::logReply(const NntpReply &reply, const QString &suffix)
{
    m_ctx.writeLog(displayText(reply.raw) + suffix, true);
}

// A server that asks for the login in the middle of a window answers every request
// already sent the same way: those answers are read and ignored, and the requests go
// out again once the login is through.
bool DownloadSession::takeMidWindowLogin(DownloadLane &lane, int code)
{
    if (nntpOutcome(code) != NntpOutcome::AuthRequired || !lane.headRequested())
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
        articleComplete(lane, std::move(reply));
        return true;
    }
    if (code < 400)
        return false;
    switch (refusalOf(code)) {
    case Refusal::Gone:
        articleRefused(lane, reply);
        return true;
    case Refusal::ServiceGone:
        serviceClosing(lane, reply);
        return true;
    case Refusal::Temporary:
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
    if (lane.index > 0 && lane.inRun && !lane.connection->greeted() && code >= 400) {
        lowerConnections(lane, reply.statusLine().toByteArray());
        m_connections.closeConnection(*lane.connection);
        return;
    }
    takeMidWindowLogin(lane, code);
    m_loginLane = &lane;
    if (m_login.answer(ConnectionRole::Download, code))
        return;
    if (articleReply(lane, reply))
        return;
    switch (code) {
    case 500:
        logReply(reply);
        break;
    case 200:
    case 201:
        onGreeting(lane, reply);
        break;
    case 202:
        logReply(reply);
        selectDownloadGroup(lane);
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

void DownloadSession::onGreeting(DownloadLane &lane, const NntpReply &reply)
{
    logReply(reply);
    lane.connection->greet(m_ctx.clock.now());
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
    showProgress(lane);
    m_failedAttempts.remove(lane.articleKey());
    CapturedArticle article;
    article.articleBuffer = std::move(reply.raw);
    article.fileName = lane.articleFileName;
    article.group = lane.articleGroup;
    article.bytes = lane.articleBytes;
    article.downloadStart = lane.downloadStart;
    const PendingEntry done = std::move(lane.window.front().entry);
    lane.window.pop_front();
    // The next request goes out before this article is decoded and filed, so that its
    // answer is on its way meanwhile; the next article becomes the one in hand after.
    fillWindow(lane, false);
    // The pipeline reads the article in hand (its CSV mark and subject).
    m_ctx.state.currentArticle = done;
    m_ctx.state.articleInHand = true;
    m_sink.articleRetrieved(article);
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
    if (reply.code == 423)
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
        lane.window.pop_front();
    stopRun(true);
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

// ---- login port -------------------------------------------------------------------

void DownloadSession::sendLoginLine(const QByteArray &line)
{
    m_loginLane->connection->send(line);
}

void DownloadSession::loginComplete()
{
    selectDownloadGroup(*m_loginLane);
}

void DownloadSession::userNameMissing()
{
    stopRun(true);
}

void DownloadSession::passwordMissing()
{
    userNameMissing();
    m_events.showLoginWindow();
}

} // namespace kestrel
