#include "circle/download_session.h"

#include "circle/article_sink.h"
#include "circle/connections.h"
#include "circle/download_events.h"
#include "circle/scan_display.h"
#include "circle/session_connection.h"
#include "circle/session_state.h"

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

constexpr int kAttemptsPerArticle = 3;
constexpr int kMaxWindow = 32;

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
        // A picture whose parts have not all been seen waits for them on the list.
        if (!e.ghosted && !e.waiting() && !trimSpaces(e.text).isEmpty() &&
            !m_missingGroups.contains(e.sub.newsgroup))
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
    return !m_handedOver.empty() || std::any_of(m_lanes.begin(), m_lanes.end(),
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
    m_showRunTotals = m_runConnections > 1;
    m_doneCount = 0;
    m_doneBytes = 0;
    m_runStart = m_ctx.clock.now();
    m_runDisplayMs = -1;
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
    const bool wasEmpty = lane.window.empty();
    const PendingEntry &entry = m_pending.entry(index);
    const qint64 order = m_taken++;
    if (entry.parts.complete()) {
        for (int part = 0; part < entry.parts.total; ++part)
            lane.window.push_back({entry, order, false, part});
    } else {
        lane.window.push_back({entry, order, false});
    }
    m_pending.takeAt(index);
    m_ctx.display.setCounter(QStringLiteral("lblPending"), m_ctx.state.pendingCount);
    if (hold && wasEmpty)
        holdHead(lane);
}

// The oldest unanswered article of a connection is the one whose reply comes next: it
// is the article in hand, and the progress, the speed and the log lines are about it.
void DownloadSession::holdHead(DownloadLane &lane)
{
    const InFlight &head = lane.window.front();
    const PendingEntry &entry = head.entry;
    m_ctx.state.currentArticle = entry;
    m_ctx.state.articleInHand = true;
    lane.downloadStart = m_ctx.clock.now();
    lane.articleGroup = entry.sub.newsgroup;
    lane.articleTag = entry.tag.value().value_or(0);
    lane.articleFileName = entry.text;
    lane.articleBytes = 0;
    lane.lastDisplayMs = -1;
    if (m_showRunTotals) {
        showRunProgress(false);
        return;
    }
    const double lines =
        head.isPart() ? double(head.pendingPart().lines) : numericValue(entry.sub.text(ColLines));
    const qint32 expected = qint32(std::lround(lines * 66.0));
    m_ctx.display.setBarMaximum(ProgressBar::Article, expected);
    m_ctx.display.setBarValue(ProgressBar::Article, 0);
    m_ctx.writeLog(QStringLiteral("Downloading: ") + displayText(lane.articleFileName), false);
}

void DownloadSession::popHead(DownloadLane &lane)
{
    dropHead(lane);
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
    if (all)
        takeBackHandedOver(back);
    for (DownloadLane &lane : m_lanes) {
        if (!all && &lane != only)
            continue;
        for (InFlight &article : lane.window)
            if (!article.discard) // a dropped picture does not go back at all
                back.push_back(std::move(article));
        lane.window.clear();
    }
    std::stable_sort(back.begin(), back.end(),
                     [](const InFlight &a, const InFlight &b) { return a.order < b.order; });
    // A picture goes back once, whole, however many of its parts were on their way or
    // handed over; its parts the sink still holds are not filed.
    back.erase(std::unique(back.begin(), back.end(),
                           [](const InFlight &a, const InFlight &b) { return a.order == b.order; }),
               back.end());
    for (const InFlight &article : back) {
        if (!article.isPart())
            continue;
        forgetHandedOver(article.order);
        m_sink.pictureAbandoned(article.entry);
    }
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
    lane.connection->send(verb + numBytes(article.tag()));
}

// Requests what is taken but not yet asked for, then takes and requests further
// entries of the lane's group until its window is full. An entry of another group
// waits until every request of this one has been answered. The window counts requests:
// a picture with more parts than it holds keeps it full until all are asked for.
void DownloadSession::fillWindow(DownloadLane &lane, bool hold)
{
    const size_t limit = size_t(windowSize());
    size_t asked = size_t(
        std::count_if(lane.window.begin(), lane.window.end(), [](const InFlight &a) { return a.requested; }));
    for (;;) {
        for (InFlight &article : lane.window) {
            if (article.requested)
                continue;
            if (asked >= limit)
                return;
            request(lane, article);
            ++asked;
        }
        if (asked >= limit)
            return;
        const int index = nextEntry();
        if (index < 0 || m_pending.entry(index).sub.newsgroup != lane.group)
            return;
        takeEntry(lane, index, hold);
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
    // Answers to the parts of a dropped picture will not come on a fresh connection.
    if (std::erase_if(lane.window, [](const InFlight &a) { return a.discard; }) > 0 && !lane.window.empty())
        holdHead(lane);
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
    if (!lane.window.empty() && !lane.window.front().discard) {
        if (!attemptFailed(lane, answer))
            dropHead(lane);
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
