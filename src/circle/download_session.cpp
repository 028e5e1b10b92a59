#include "circle/download_session.h"

#include "circle/article_sink.h"
#include "circle/circle.h"
#include "circle/connections.h"
#include "nntp/transfer_text.h"

#include "base/context.h"
#include "base/number_text.h"
#include "scan/header_filter.h"
#include "scan/pending_list_model.h"
#include "circle/rescan_countdown.h"
#include "base/text_util.h"

#include <cmath>

namespace kestrel {

namespace {

constexpr qint64 kDisplayIntervalMs = 50;
constexpr int kEmergenciesPerArticle = 3;

// While an article is on its way (taken, its group asked for or selected), the bytes
// that arrive count towards it.
bool collectingArticle(DownloadState state)
{
    return state == DownloadState::Started || state == DownloadState::GroupSelected;
}

} // namespace

DownloadSession::DownloadSession(Circle &circle) : m_c(circle) {}

QByteArray DownloadSession::articleKey() const
{
    return m_articleGroup + '/' + QByteArray::number(m_articleTag);
}

void DownloadSession::removeBlankEntries()
{
    PendingListModel &pending = m_c.pending();
    for (int i = pending.count() - 1; i >= 0; --i)
        if (trimSpaces(pending.entry(i).text).isEmpty())
            pending.takeAt(i);
}

int DownloadSession::nextEntry() const
{
    const PendingListModel &pending = m_c.pending();
    for (int i = 0; i < pending.count(); ++i) {
        const PendingEntry &e = pending.entry(i);
        if (!e.ghosted && !trimSpaces(e.text).isEmpty() && !m_missingGroups.contains(e.sub[ColNewsgroup]))
            return i;
    }
    return -1;
}

void DownloadSession::downloadNext()
{
    Context &ctx = m_c.ctx();
    SessionState &s = m_c.state();
    Connections &conn = m_c.connections();
    if (ctx.state.scanning) {
        ctx.prompter.message(QStringLiteral("Stop scan first."));
        return;
    }
    if (s.downloadBusy)
        return;
    conn.loginPort();
    m_c.rearmWaitReport();
    s.downloadBusy = true;
    ctx.display.setBarVisible(ProgressBar::Article, true);
    ctx.display.setGroupText(QString());
    ctx.state.downloadAbortRequested = false;
    ctx.display.setScanEnabled(false);
    ctx.display.setDownloadLightBusy(true);

    removeBlankEntries();
    // An article still in hand from a run that ended without finishing it goes back
    // first, so that taking the next one cannot overwrite it.
    if (ctx.state.articleInHand) {
        m_c.pending().requeueArticle();
        ctx.state.articleInHand = false;
    }
    const int index = nextEntry();
    if (index < 0) {
        endRun();
        return;
    }
    const PendingEntry entry = m_c.pending().entry(index);
    m_downloadStart = ctx.clock.now();
    m_articleGroup = entry.sub[ColNewsgroup];
    m_articleTag = entry.tag;
    m_articleFileName = entry.text;
    m_articleBytes = 0;
    m_articleExpectedBytes = qint32(std::lround(numericValue(entry.sub[ColLines]) * 66.0));
    ctx.display.setBarMaximum(ProgressBar::Article, m_articleExpectedBytes);
    ctx.display.setBarValue(ProgressBar::Article, 0);
    m_lastDisplayMs = -1;
    ctx.writeLog(QStringLiteral("Downloading: ") + displayText(m_articleFileName), false);

    NntpConnection &tcp = conn.download().socket();
    if (ctx.state.downloadState == DownloadState::ArticleDone && tcp.isConnected()) {
        if (m_articleGroup != m_downloadGroup) {
            m_downloadGroup = m_articleGroup;
            if (!m_downloadGroup.isEmpty()) {
                conn.download().send("GROUP " + m_downloadGroup);
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
            ctx.writeLog(QStringLiteral("Download Connection Error, please wait..."), true);
        }
        if (tcp.isConnected()) {
            // An open connection in an unknown state (a QUIT may be on its way) is no
            // use for a new run; a fresh one is.
            ctx.writeLog(QStringLiteral("Already Connected!"), true);
            tcp.close();
        }
        m_awaiting = Awaiting::Nothing;
        conn.connectDownload();
    }
    ctx.state.downloadState = DownloadState::Started;

    ctx.state.currentArticle = entry;
    ctx.state.articleInHand = true;
    m_c.pending().takeAt(index);
    ctx.display.setCounter(QStringLiteral("lblPending"), ctx.state.pendingCount);
}

void DownloadSession::endRun()
{
    Context &ctx = m_c.ctx();
    SessionState &s = m_c.state();
    ctx.state.downloadState = DownloadState::Idle;
    s.downloadBusy = false;
    m_awaiting = Awaiting::Nothing;
    m_c.connections().sendQuit(m_c.connections().download());
    ctx.display.setDownloadLightBusy(false);
    ctx.writeLog(QStringLiteral("Done!"), false);
    ctx.display.setBarVisible(ProgressBar::Article, false);
    ctx.display.setBarValue(ProgressBar::Groups, 0);
    ctx.display.setBarValue(ProgressBar::GroupHeaders, 0);
    m_missingGroups.clear();
    if (ctx.settings.checked(u"chkReScan") && m_c.counters().scanHeaderCount > 0) {
        const int seconds = ctx.settings.slider(u"sldRescan");
        m_c.countdown().arm(seconds);
        ctx.writeLog(QStringLiteral("Rescan in") + numText(ctx.state.rescanCountdown) +
                         QStringLiteral(" seconds."),
                     true);
    }
    m_c.reportWait(false);
}

void DownloadSession::selectDownloadGroup()
{
    Context &ctx = m_c.ctx();
    m_downloadStart = ctx.clock.now();
    m_downloadGroup = m_articleGroup;
    ctx.display.setScanEnabled(false);
    if (!m_articleGroup.isEmpty()) {
        m_c.connections().download().send("GROUP " + m_articleGroup);
        m_awaiting = Awaiting::Group;
    } else {
        requestArticle();
    }
}

void DownloadSession::requestArticle()
{
    m_articleNumber = m_articleTag;
    const QByteArray verb = m_c.ctx().settings.checked(u"chkSaveHeaders") ? "ARTICLE " : "BODY ";
    m_awaiting = Awaiting::Article;
    m_c.connections().download().send(verb + numBytes(m_articleNumber));
}

void DownloadSession::abortDownload()
{
    Context &ctx = m_c.ctx();
    SessionState &s = m_c.state();
    if (!s.downloadBusy) {
        ctx.prompter.message(
            QStringLiteral("Use this button to stop the download process, there is not currently "
                           "anything downloading."));
        return;
    }
    ctx.state.downloadAbortRequested = true;
    s.downloadBusy = false;
    ctx.state.downloadState = DownloadState::Idle;
    m_awaiting = Awaiting::Nothing;
    m_c.connections().sendQuit(m_c.connections().download());
    m_c.connections().closeConnection(m_c.connections().download());
    ctx.writeLog(QStringLiteral("User Abort!"), true);
    ctx.display.setDownloadLightBusy(false);
    ctx.display.setBarVisible(ProgressBar::Article, false);
    m_missingGroups.clear();
    m_c.reportWait(false);
}

void DownloadSession::emergencyOnArticleInHand()
{
    Context &ctx = m_c.ctx();
    m_awaiting = Awaiting::Nothing;
    if (!ctx.state.articleInHand)
        return;
    const QByteArray key = articleKey();
    const int count = ++m_emergencies[key];
    if (count < kEmergenciesPerArticle)
        return;
    m_emergencies.remove(key);
    ctx.state.articleInHand = false;
    ctx.writeLog(QStringLiteral("Dropped after") + numText(count) + QStringLiteral(" failed attempts: ") +
                     displayText(m_articleFileName),
                 true);
}

// ---- replies ----------------------------------------------------------------------

void DownloadSession::onData(qsizetype bytes)
{
    Context &ctx = m_c.ctx();
    SessionState &s = m_c.state();
    Connections &conn = m_c.connections();
    conn.download().touch(ctx.clock.now());
    NntpConnection &tcp = conn.download().socket();
    if (!tcp.isConnected()) {
        ctx.writeLog(QStringLiteral("Download Connection Error..."), true);
        conn.sendQuit(conn.download());
    }
    const bool collecting = collectingArticle(ctx.state.downloadState);
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
            ctx.writeLog(QStringLiteral("Article too long, dropped: ") + displayText(m_articleFileName),
                         true);
            ctx.state.articleInHand = false;
            ctx.state.downloadState = DownloadState::Idle;
            s.downloadBusy = false;
            conn.closeConnection(conn.download());
            downloadNext();
            return;
        }
        if (event == ReplyReader::Event::Reply)
            onReply(reader.takeReply());
    }
}

void DownloadSession::showProgress()
{
    Context &ctx = m_c.ctx();
    const qint64 now = ctx.clock.msecsSinceStart();
    if (m_lastDisplayMs >= 0 && now - m_lastDisplayMs < kDisplayIntervalMs)
        return;
    m_lastDisplayMs = now;
    ctx.writeLog(QStringLiteral("Downloading: ") + displayText(m_articleFileName) + QLatin1Char(' ') +
                     kiloBytesText(m_articleBytes) + QStringLiteral("kb [") +
                     transferSpeedText(m_downloadStart, ctx.clock.now(), m_articleBytes) +
                     QStringLiteral(" Kbps]"),
                 false);
    const int maximum = ctx.display.bar(ProgressBar::Article).maximum;
    if (m_articleBytes >= 1 && m_articleBytes < maximum)
        ctx.display.setBarValue(ProgressBar::Article, m_articleBytes);
    else if (m_articleBytes > maximum)
        ctx.display.setBarValue(ProgressBar::Article, maximum);
}

void DownloadSession::logReply(const NntpReply &reply, const QString &suffix)
{
    m_c.ctx().writeLog(displayText(reply.raw) + suffix, true);
}

void DownloadSession::onReply(NntpReply &&reply)
{
    Context &ctx = m_c.ctx();
    SessionState &s = m_c.state();
    Connections &conn = m_c.connections();
    const int code = reply.code;
    const bool collecting = collectingArticle(ctx.state.downloadState);

    if ((code == 220 || code == 222) && reply.multiLine) {
        if (collecting && m_awaiting == Awaiting::Article)
            articleComplete(std::move(reply));
        return;
    }
    if (ctx.state.downloadAbortRequested && code == 205) {
        ctx.writeLog(displayText(reply.raw.mid(3)) + QStringLiteral("  (disconnected)"), true);
        conn.closeConnection(conn.download());
        return;
    }
    if (m_c.login().answer(ConnectionRole::Download, code))
        return;
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
        conn.sendQuit(conn.download());
        ctx.state.downloadState = DownloadState::Idle;
        s.downloadBusy = false;
        m_awaiting = Awaiting::Nothing;
        ctx.display.setDownloadLightBusy(false);
        ctx.display.setBarVisible(ProgressBar::Article, false);
        m_c.reportWait(true);
        break;
    case 211:
        if (m_awaiting == Awaiting::Group) {
            ctx.state.downloadState = DownloadState::GroupSelected;
            m_downloadStart = ctx.clock.now();
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
        conn.closeConnection(conn.download());
        ctx.display.setBarVisible(ProgressBar::Article, false);
        break;
    case 412:
        if (ctx.state.articleInHand) {
            m_c.pending().requeueArticle();
            ctx.state.articleInHand = false;
        }
        ctx.state.downloadState = DownloadState::Idle;
        s.downloadBusy = false;
        m_awaiting = Awaiting::Nothing;
        conn.sendQuit(conn.download());
        m_c.reportWait(true);
        break;
    default:
        if (m_awaiting == Awaiting::Article && collecting && code >= 400)
            articleRefused(reply);
        break;
    }
}

void DownloadSession::onGreeting(const NntpReply &reply)
{
    Context &ctx = m_c.ctx();
    logReply(reply);
    m_c.connections().download().greet(ctx.clock.now());
    m_c.login().greeted(ConnectionRole::Download);
}

void DownloadSession::articleComplete(NntpReply &&reply)
{
    Context &ctx = m_c.ctx();
    m_awaiting = Awaiting::Nothing;
    m_articleBytes = qint32(reply.raw.size());
    m_lastDisplayMs = -1;
    showProgress();
    m_emergencies.remove(articleKey());
    CapturedArticle article;
    article.articleBuffer = std::move(reply.raw);
    article.fileName = m_articleFileName;
    article.group = m_articleGroup;
    article.bytes = m_articleBytes;
    article.downloadStart = m_downloadStart;
    m_c.sink().articleRetrieved(article);
    ctx.state.articleInHand = false;
    m_c.state().downloadBusy = false;
    ctx.state.downloadState = DownloadState::ArticleDone;
    downloadNext();
}

// An error answer to ARTICLE or BODY: the article is gone (or never was); the entry is
// dropped and the run goes on with the next one on the open connection.
void DownloadSession::articleRefused(const NntpReply &reply)
{
    Context &ctx = m_c.ctx();
    if (reply.code == 423)
        ctx.writeLog(QStringLiteral("bad article number!"), true);
    else
        ctx.writeLog(QStringLiteral("Article not available: ") + displayText(m_articleFileName) +
                         QStringLiteral(" (") + displayText(reply.statusLine().toByteArray()) +
                         QStringLiteral(")"),
                     true);
    m_awaiting = Awaiting::Nothing;
    m_emergencies.remove(articleKey());
    ctx.state.downloadState = DownloadState::ArticleDone;
    m_c.state().downloadBusy = false;
    ctx.state.articleInHand = false;
    downloadNext();
}

// The server does not carry the group: its entries stay queued for a later run and
// this run goes on with the other groups.
void DownloadSession::groupMissing()
{
    Context &ctx = m_c.ctx();
    ctx.writeLog(QStringLiteral("Error, no such news group ") + displayText(m_articleGroup), true);
    m_missingGroups.insert(m_articleGroup);
    m_awaiting = Awaiting::Nothing;
    if (ctx.state.articleInHand) {
        m_c.pending().requeueArticle();
        ctx.state.articleInHand = false;
    }
    m_downloadGroup.clear();
    ctx.state.downloadState = DownloadState::ArticleDone;
    m_c.state().downloadBusy = false;
    downloadNext();
}

// ---- login port -------------------------------------------------------------------

void DownloadSession::sendLoginLine(const QByteArray &line)
{
    m_c.connections().download().send(line);
}

void DownloadSession::loginComplete()
{
    selectDownloadGroup();
}

void DownloadSession::userNameMissing()
{
    Context &ctx = m_c.ctx();
    ctx.state.downloadState = DownloadState::Idle;
    m_c.state().downloadBusy = false;
    m_c.connections().sendQuit(m_c.connections().download());
    m_c.reportWait(true);
}

void DownloadSession::passwordMissing()
{
    userNameMissing();
    Q_EMIT m_c.loginWindowWanted();
}

} // namespace kestrel
