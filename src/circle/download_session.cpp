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

} // namespace

DownloadSession::DownloadSession(Circle &circle) : m_c(circle) {}

QByteArray DownloadSession::articleKey() const
{
    return m_articleGroup + '/' + QByteArray::number(m_articleTag);
}

void DownloadSession::RemoveBlankEntries()
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

void DownloadSession::DownloadNext()
{
    Context &ctx = m_c.ctx();
    SessionState &s = m_c.state();
    Connections &conn = m_c.connections();
    if (ctx.state.Scanning) {
        ctx.prompter.message(QStringLiteral("Stop scan first."));
        return;
    }
    if (s.DownloadBusy == 1)
        return;
    conn.loginPort();
    m_c.rearmWaitReport();
    s.DownloadBusy = 1;
    ctx.display.setBarVisible(3, true);
    ctx.display.setGroupText(QString());
    ctx.state.DownloadAbortRequested = false;
    ctx.display.setScanEnabled(false);
    ctx.display.setDownloadLightBusy(true);

    RemoveBlankEntries();
    // An article still in hand from a run that ended without finishing it goes back
    // first, so that taking the next one cannot overwrite it.
    if (ctx.state.ArticleInHand) {
        m_c.pending().RequeueArticle();
        ctx.state.ArticleInHand = false;
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
    ctx.display.setBarMaximum(3, m_articleExpectedBytes);
    ctx.display.setBarValue(3, 0);
    m_lastDisplayMs = -1;
    ctx.WriteLog(QStringLiteral("Downloading: ") + displayText(m_articleFileName), false);

    NntpConnection &tcp = conn.TCP2();
    if (ctx.state.DownloadState == 999 && tcp.isConnected()) {
        if (m_articleGroup != m_downloadGroup) {
            m_downloadGroup = m_articleGroup;
            if (!m_downloadGroup.isEmpty()) {
                conn.SendDownload("GROUP " + m_downloadGroup);
                m_awaiting = Awaiting::Group;
            } else {
                requestArticle();
            }
        } else {
            requestArticle();
        }
    } else {
        if (tcp.state() == 8) {
            tcp.close();
            ctx.WriteLog(QStringLiteral("Download Connection Error, please wait..."), true);
        }
        if (tcp.isConnected()) {
            // An open connection in an unknown state (a QUIT may be on its way) is no
            // use for a new run; a fresh one is.
            ctx.WriteLog(QStringLiteral("Already Connected!"), true);
            tcp.close();
        }
        m_awaiting = Awaiting::Nothing;
        conn.ConnectDownload();
    }
    ctx.state.DownloadState = 1;

    ctx.state.CurrentArticle = entry;
    ctx.state.ArticleInHand = true;
    m_c.pending().takeAt(index);
    ctx.display.setCounter(QStringLiteral("lblPending"), ctx.state.PendingCount);
}

void DownloadSession::endRun()
{
    Context &ctx = m_c.ctx();
    SessionState &s = m_c.state();
    ctx.state.DownloadState = 0;
    s.DownloadBusy = 0;
    m_awaiting = Awaiting::Nothing;
    m_c.connections().SendQuit(2);
    ctx.display.setDownloadLightBusy(false);
    ctx.WriteLog(QStringLiteral("Done!"), false);
    ctx.display.setBarVisible(3, false);
    ctx.display.setBarValue(1, 0);
    ctx.display.setBarValue(2, 0);
    m_missingGroups.clear();
    if (ctx.settings.checked(u"chkReScan") && m_c.counters().ScanHeaderCount > 0) {
        const int seconds = ctx.settings.slider(u"sldRescan");
        m_c.countdown().arm(seconds);
        ctx.WriteLog(QStringLiteral("Rescan in") + numText(ctx.state.RescanCountdown) +
                         QStringLiteral(" seconds."),
                     true);
    }
    m_c.reportWait(false);
}

void DownloadSession::SelectDownloadGroup()
{
    Context &ctx = m_c.ctx();
    m_downloadStart = ctx.clock.now();
    m_downloadGroup = m_articleGroup;
    ctx.display.setScanEnabled(false);
    if (!m_articleGroup.isEmpty()) {
        m_c.connections().SendDownload("GROUP " + m_articleGroup);
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
    m_c.connections().SendDownload(verb + numBytes(m_articleNumber));
}

void DownloadSession::Command2()
{
    Context &ctx = m_c.ctx();
    SessionState &s = m_c.state();
    if (s.DownloadBusy == 0) {
        ctx.prompter.message(
            QStringLiteral("Use this button to stop the download process, there is not currently "
                           "anything downloading."));
        return;
    }
    ctx.state.DownloadAbortRequested = true;
    s.DownloadBusy = 0;
    ctx.state.DownloadState = 0;
    m_awaiting = Awaiting::Nothing;
    m_c.connections().SendQuit(2);
    m_c.connections().CloseConnection(2);
    ctx.WriteLog(QStringLiteral("User Abort!"), true);
    ctx.display.setDownloadLightBusy(false);
    ctx.display.setBarVisible(3, false);
    m_missingGroups.clear();
    m_c.reportWait(false);
}

void DownloadSession::emergencyOnArticleInHand()
{
    Context &ctx = m_c.ctx();
    m_awaiting = Awaiting::Nothing;
    if (!ctx.state.ArticleInHand)
        return;
    const QByteArray key = articleKey();
    const int count = ++m_emergencies[key];
    if (count < kEmergenciesPerArticle)
        return;
    m_emergencies.remove(key);
    ctx.state.ArticleInHand = false;
    ctx.WriteLog(QStringLiteral("Dropped after") + numText(count) + QStringLiteral(" failed attempts: ") +
                     displayText(m_articleFileName),
                 true);
}

// ---- replies ----------------------------------------------------------------------

void DownloadSession::onData(qsizetype bytes)
{
    Context &ctx = m_c.ctx();
    SessionState &s = m_c.state();
    Connections &conn = m_c.connections();
    s.DownloadLastActivity = ctx.clock.now();
    NntpConnection &tcp = conn.TCP2();
    if (!tcp.isConnected()) {
        ctx.WriteLog(QStringLiteral("Download Connection Error..."), true);
        conn.SendQuit(2);
    }
    const bool collecting = ctx.state.DownloadState == 1 || ctx.state.DownloadState == 5;
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
            ctx.WriteLog(QStringLiteral("Article too long, dropped: ") + displayText(m_articleFileName),
                         true);
            ctx.state.ArticleInHand = false;
            ctx.state.DownloadState = 0;
            s.DownloadBusy = 0;
            conn.CloseConnection(2);
            DownloadNext();
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
    ctx.WriteLog(QStringLiteral("Downloading: ") + displayText(m_articleFileName) + QLatin1Char(' ') +
                     kiloBytesText(m_articleBytes) + QStringLiteral("kb [") +
                     transferSpeedText(m_downloadStart, ctx.clock.now(), m_articleBytes) +
                     QStringLiteral(" Kbps]"),
                 false);
    const int maximum = ctx.display.bar(3).maximum;
    if (m_articleBytes >= 1 && m_articleBytes < maximum)
        ctx.display.setBarValue(3, m_articleBytes);
    else if (m_articleBytes > maximum)
        ctx.display.setBarValue(3, maximum);
}

void DownloadSession::logReply(const NntpReply &reply, const QString &suffix)
{
    m_c.ctx().WriteLog(displayText(reply.raw) + suffix, true);
}

void DownloadSession::onReply(NntpReply &&reply)
{
    Context &ctx = m_c.ctx();
    SessionState &s = m_c.state();
    Connections &conn = m_c.connections();
    const int code = reply.code;
    const bool collecting = ctx.state.DownloadState == 1 || ctx.state.DownloadState == 5;

    if ((code == 220 || code == 222) && reply.multiLine) {
        if (collecting && m_awaiting == Awaiting::Article)
            articleComplete(std::move(reply));
        return;
    }
    if (ctx.state.DownloadAbortRequested && code == 205) {
        ctx.WriteLog(displayText(reply.raw.mid(3)) + QStringLiteral("  (disconnected)"), true);
        conn.CloseConnection(2);
        return;
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
        SelectDownloadGroup();
        break;
    case 480:
        m_c.login().SendAuthUser(2);
        break;
    case 381:
        m_c.login().SendAuthPass(2);
        break;
    case 281:
        ctx.WriteLog(QStringLiteral("Authinfo cleared, login complete..."), true);
        afterLogin();
        break;
    case 481: // a refused login ends the session like a refused service
    case 482:
    case 502:
        logReply(reply, QStringLiteral("(disconnected)"));
        conn.SendQuit(2);
        ctx.state.DownloadState = 0;
        s.DownloadBusy = 0;
        m_awaiting = Awaiting::Nothing;
        ctx.display.setDownloadLightBusy(false);
        ctx.display.setBarVisible(3, false);
        m_c.reportWait(true);
        break;
    case 211:
        if (m_awaiting == Awaiting::Group) {
            ctx.state.DownloadState = 5;
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
        conn.CloseConnection(2);
        ctx.display.setBarVisible(3, false);
        break;
    case 412:
        if (ctx.state.ArticleInHand) {
            m_c.pending().RequeueArticle();
            ctx.state.ArticleInHand = false;
        }
        ctx.state.DownloadState = 0;
        s.DownloadBusy = 0;
        m_awaiting = Awaiting::Nothing;
        conn.SendQuit(2);
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
    SessionState &s = m_c.state();
    logReply(reply);
    s.DownloadGreeted = true;
    s.DownloadWatchdogArmed = true;
    m_c.connections().Timerbot2().start();
    s.DownloadLastActivity = ctx.clock.now();
    if (ctx.settings.checked(u"chkAuth"))
        m_c.login().SendAuthUser(2);
    else
        afterLogin();
}

void DownloadSession::afterLogin()
{
    Context &ctx = m_c.ctx();
    if (ctx.settings.checked(u"chkSlave")) {
        ctx.WriteLog(QStringLiteral("Requesting slave status"), true);
        m_c.connections().SendDownload("SLAVE");
        return;
    }
    SelectDownloadGroup();
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
    m_c.sink().ArticleRetrieved(article);
    ctx.state.ArticleInHand = false;
    m_c.state().DownloadBusy = 0;
    ctx.state.DownloadState = 999;
    DownloadNext();
}

// An error answer to ARTICLE or BODY: the article is gone (or never was); the entry is
// dropped and the run goes on with the next one on the open connection.
void DownloadSession::articleRefused(const NntpReply &reply)
{
    Context &ctx = m_c.ctx();
    if (reply.code == 423)
        ctx.WriteLog(QStringLiteral("bad article number!"), true);
    else
        ctx.WriteLog(QStringLiteral("Article not available: ") + displayText(m_articleFileName) +
                         QStringLiteral(" (") + displayText(reply.statusLine().toByteArray()) +
                         QStringLiteral(")"),
                     true);
    m_awaiting = Awaiting::Nothing;
    m_emergencies.remove(articleKey());
    ctx.state.DownloadState = 999;
    m_c.state().DownloadBusy = 0;
    ctx.state.ArticleInHand = false;
    DownloadNext();
}

// The server does not carry the group: its entries stay queued for a later run and
// this run goes on with the other groups.
void DownloadSession::groupMissing()
{
    Context &ctx = m_c.ctx();
    ctx.WriteLog(QStringLiteral("Error, no such news group ") + displayText(m_articleGroup), true);
    m_missingGroups.insert(m_articleGroup);
    m_awaiting = Awaiting::Nothing;
    if (ctx.state.ArticleInHand) {
        m_c.pending().RequeueArticle();
        ctx.state.ArticleInHand = false;
    }
    m_downloadGroup.clear();
    ctx.state.DownloadState = 999;
    m_c.state().DownloadBusy = 0;
    DownloadNext();
}

// ---- login port -------------------------------------------------------------------

void DownloadSession::sendLoginLine(const QByteArray &line)
{
    m_c.connections().SendDownload(line);
}

void DownloadSession::userNameMissing()
{
    Context &ctx = m_c.ctx();
    ctx.state.DownloadState = 0;
    m_c.state().DownloadBusy = 0;
    m_c.connections().SendQuit(2);
    m_c.reportWait(true);
}

void DownloadSession::passwordMissing()
{
    userNameMissing();
    Q_EMIT m_c.loginWindowWanted();
}

} // namespace kestrel
