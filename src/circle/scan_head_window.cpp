// HEAD mode of the scan session by article number: LISTGROUP lists the numbers a page
// at a time and up to sldPipeline HEAD requests are on their way (RFC 3977 3.5, 6.1.2).
// The headers reach the filter in the order they were asked for, which is the order
// NEXT would have walked; the per-group limit and MAX_Pending stop the requests at the
// same header as one request at a time would.
#include "circle/scan_events.h"
#include "circle/scan_session.h"
#include "circle/session_state.h"

#include "base/context.h"
#include "base/number_text.h"
#include "base/text_util.h"
#include "scan/favourites.h"

#include <algorithm>

namespace kestrel {

namespace {

// Numbers asked for in the first LISTGROUP page: enough to cross the gaps expiry
// leaves, few enough that the answer stays small. A page that lists nothing doubles
// the next, so a wide gap costs a few round trips, not one per page.
constexpr qint64 kFirstPage = 10000;
constexpr qint64 kLargestPage = 1000000;
constexpr int kMaxWindow = 32;

} // namespace

void ScanSession::startHeadMode(bool firstTime)
{
    if (m_listGroupRefused) {
        startByStepping(firstTime);
        return;
    }
    m_windowMode = true;
    m_headState = 0;
    m_resumeFromLastRead = false;
    m_listed.clear();
    m_windowRequests = 0;
    m_pageSize = kFirstPage;
    const qint64 from =
        firstTime ? m_groupFirst : qint64(numericValue(m_favourites.getLastRead(m_currentGroup)));
    m_windowReread = firstTime ? -1 : from;
    m_pageEnd = from - 1;
    // Read one at a time, a group read before starts with a NEXT that the limit counts.
    if (!firstTime && m_ctx.settings.checked(u"chkMaxPGPS"))
        ++m_groupHeadersThisScan;
    fillHeadWindow();
}

void ScanSession::startByStepping(bool firstTime)
{
    m_windowMode = false;
    m_resumeFromLastRead = !firstTime;
    if (firstTime)
        requestFirstHead();
    else
        sendNext();
}

// A reply to a request of the window. False when the session's other rows react to it
// (a login asked for, a refusal that ends the group, the service closing).
bool ScanSession::takeWindowReply(const NntpReply &reply)
{
    if (m_window.empty() || (reply.command != NntpCommand::Head && reply.command != NntpCommand::ListGroup))
        return false;
    const HeadRequest request = m_window.front();
    m_window.pop_front();
    const ReplyReaction reaction = replyReaction(reply.command, reply.code, reply.statusLine());
    if (request.stale)
        return reaction != ReplyReaction::ServiceClosing;
    const bool page = request.number == 0;
    if (page)
        m_pageOut = false;
    else
        --m_windowHeads;
    if (reaction == ReplyReaction::Success) {
        if (page)
            onListPage(reply);
        else if (reply.multiLine)
            feedHeader(reply, request.number);
        fillHeadWindow();
        return true;
    }
    m_lastVerb = page ? QByteArrayLiteral("LISTGROUP") : QByteArrayLiteral("HEAD");
    if (reaction == ReplyReaction::NoSuchArticle && !page) {
        // Gone since it was listed (expired or cancelled): as if NEXT had not found it.
        if (request.number != m_windowReread && m_ctx.settings.checked(u"chkMaxPGPS"))
            --m_groupHeadersThisScan;
        m_ctx.writeLog(QStringLiteral("Article") + numText(request.number) +
                           QStringLiteral(" is gone from ") + displayText(m_currentGroup) +
                           QStringLiteral(" (") + displayText(reply.statusLine().toByteArray()) +
                           QStringLiteral("); skipped."),
                       true);
        fillHeadWindow();
        return true;
    }
    if (reaction == ReplyReaction::NoListGroup && page) {
        onListGroupRefused();
        return true;
    }
    // Whatever else ends or restarts the group: what is still on its way is not read.
    abandonWindow();
    m_windowMode = false;
    return false;
}

void ScanSession::fillHeadWindow()
{
    if (!m_windowMode || m_groupState != ScanState::ReadingHeaders || m_state.scanQuitSent)
        return;
    const int window = std::clamp(m_ctx.settings.slider(u"sldPipeline"), 1, kMaxWindow);
    while (m_windowHeads < window && mayRequestHeader()) {
        if (m_listed.empty()) {
            if (!m_pageOut && m_pageEnd < m_groupLast)
                sendListPage();
            break;
        }
        const qint64 number = m_listed.front();
        m_listed.pop_front();
        requestWindowHead(number);
    }
    if (m_windowHeads == 0 && !m_pageOut)
        endHeadWindow();
}

// One request at a time asks for the next header only after the last one has been
// filtered. Each header on its way may still add one entry to the pending list, so a
// request goes out only when the list cannot be full by the time its turn comes.
bool ScanSession::mayRequestHeader() const
{
    const bool counted = m_listed.empty() || m_listed.front() != m_windowReread;
    if (counted && m_ctx.settings.checked(u"chkMaxPGPS") &&
        m_groupHeadersThisScan >= m_ctx.settings.slider(u"sldMaxPGPS"))
        return false;
    return m_ctx.state.pendingCount + m_windowHeads < m_ctx.settings.slider(u"sldMaxPending");
}

void ScanSession::requestWindowHead(qint64 number)
{
    if (number != m_windowReread && m_ctx.settings.checked(u"chkMaxPGPS"))
        ++m_groupHeadersThisScan;
    ++m_windowHeads;
    ++m_windowRequests;
    m_window.push_back({number, false});
    sendCommand("HEAD" + numBytes(number));
}

void ScanSession::sendListPage()
{
    const qint64 from = m_pageEnd + 1;
    m_pageEnd = from + m_pageSize - 1;
    m_pageOut = true;
    m_window.push_back({0, false});
    sendCommand("LISTGROUP " + m_currentGroup + ' ' + QByteArray::number(from) + '-' +
                QByteArray::number(m_pageEnd));
}

// Every request before the page has been answered when its reply comes, so a page that
// lists nothing is read to its end, as NEXT would have stepped over it.
void ScanSession::onListPage(const NntpReply &reply)
{
    if (m_ctx.state.pendingCount >= m_ctx.settings.slider(u"sldMaxPending"))
        return; // the group stops here, as one request at a time would have
    const qint64 from = m_pageEnd - m_pageSize + 1;
    const QByteArrayView block = reply.block();
    std::vector<qint64> numbers;
    qsizetype at = 0;
    while (at < block.size()) {
        qsizetype end = block.indexOf('\n', at);
        end = end < 0 ? block.size() : end;
        bool ok = false;
        const qint64 number = trimSpaces(block.sliced(at, end - at)).toLongLong(&ok);
        at = end + 1;
        // Numbers outside the page are a server's fault and are not asked for.
        if (ok && number >= from && number <= m_pageEnd)
            numbers.push_back(number);
    }
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    m_listed.insert(m_listed.end(), numbers.begin(), numbers.end());
    if (!numbers.empty()) {
        m_pageSize = kFirstPage;
        return;
    }
    if (m_pageEnd < m_groupLast)
        scanProgress(m_currentGroup, numBytes(m_pageEnd), false);
    m_pageSize = std::min(m_pageSize * 2, kLargestPage);
}

// LISTGROUP refused (RFC 3977 makes it optional in older servers): this connection
// steps with NEXT and HEAD from now on. At the start of a group nothing was asked for
// yet; later on, every number listed before has been answered, and NEXT steps over them.
void ScanSession::onListGroupRefused()
{
    m_listGroupRefused = true;
    m_windowMode = false;
    if (m_windowRequests == 0) {
        m_ctx.writeLog(QStringLiteral("The server does not list article numbers in ") +
                           displayText(m_currentGroup) + QStringLiteral("; reading headers one by one."),
                       true);
        // The NEXT that begins a group read before is counted again by stepping.
        if (m_windowReread >= 0 && m_ctx.settings.checked(u"chkMaxPGPS"))
            --m_groupHeadersThisScan;
        startByStepping(m_windowReread < 0);
        return;
    }
    m_headArticleNumber = m_pageEnd - m_pageSize;
    stepPastLastRead();
}

// Nothing is on its way and nothing more may be asked for: the same three ends as
// stepping has, checked in the same order.
void ScanSession::endHeadWindow()
{
    m_windowMode = false;
    m_groupState = ScanState::GroupDone;
    if (m_ctx.settings.checked(u"chkMaxPGPS") &&
        m_groupHeadersThisScan >= m_ctx.settings.slider(u"sldMaxPGPS")) {
        m_groupHeadersThisScan = 0;
        return;
    }
    if (m_ctx.state.pendingCount >= m_ctx.settings.slider(u"sldMaxPending")) {
        m_events.pendingListFull();
        return;
    }
    // Listed to its end and every header read: as when NEXT finds no next article.
    scanProgress(m_currentGroup, m_groupLastText, false);
}

void ScanSession::abandonWindow()
{
    for (HeadRequest &request : m_window)
        request.stale = true;
    m_listed.clear();
    m_windowHeads = 0;
    m_pageOut = false;
}

} // namespace kestrel
