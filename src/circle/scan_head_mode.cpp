// HEAD mode of the scan session stepping with NEXT and HEAD, one header per round trip,
// on a server that does not list article numbers; and what both ways of HEAD mode share.
#include "circle/scan_events.h"
#include "circle/scan_session.h"
#include "circle/session_connection.h"
#include "circle/session_state.h"

#include "base/context.h"
#include "base/number_text.h"
#include "base/text_util.h"
#include "scan/favourites.h"

namespace kestrel {

namespace {

// The article number a 221 or 223 status line gives after its code; 0 when none.
qint64 statusNumber(const NntpReply &reply)
{
    const QByteArrayView status = reply.statusLine();
    const qsizetype blank = status.indexOf(' ');
    QByteArrayView rest = blank < 0 ? QByteArrayView() : trimSpaces(status.sliced(blank + 1));
    const qsizetype end = rest.indexOf(' ');
    if (end >= 0)
        rest = rest.first(end);
    return qint64(numericValue(rest));
}

} // namespace

bool ScanSession::headerLimitsReached()
{
    if (m_ctx.settings.checked(u"chkMaxPGPS")) {
        if (m_groupHeadersThisScan >= m_ctx.settings.slider(u"sldMaxPGPS")) {
            m_groupHeadersThisScan = 0;
            m_groupState = ScanState::GroupDone;
            return true;
        }
        ++m_groupHeadersThisScan;
    }
    if (m_ctx.state.pendingCount >= m_ctx.settings.slider(u"sldMaxPending")) {
        m_groupState = ScanState::GroupDone;
        m_events.pendingListFull();
        return true;
    }
    return false;
}

void ScanSession::sendNext()
{
    if (headerLimitsReached())
        return;
    m_headState = 1;
    sendCommand("NEXT");
}

// The article pointer stands on the group's first article after GROUP, so its header
// is asked for before any NEXT moves past it.
void ScanSession::requestFirstHead()
{
    requestHead("HEAD");
}

void ScanSession::requestHead(const QByteArray &line)
{
    if (headerLimitsReached())
        return;
    m_headState = 2;
    sendCommand(line);
}

void ScanSession::onNextAnswered(const NntpReply &reply)
{
    if (m_headState != 1 || m_state.scanQuitSent)
        return;
    if (m_skipThrough >= 0) {
        // Read before: stepped over without a HEAD, and not counted against the limit.
        if (statusNumber(reply) <= m_skipThrough) {
            sendCommand("NEXT");
            return;
        }
        m_skipThrough = -1;
    }
    m_headState = 2;
    if (!m_resumeFromLastRead) {
        sendCommand("HEAD");
        return;
    }
    m_headArticleNumber = qint64(numericValue(m_favourites.getLastRead(m_currentGroup)));
    m_resumeFromLastRead = false;
    m_resumeHeadOut = true;
    sendCommand("HEAD" + numBytes(m_headArticleNumber));
}

void ScanSession::onHeadComplete(const NntpReply &reply)
{
    if (m_headState != 2)
        return;
    m_headState = 3;
    m_resumeHeadOut = false;
    feedHeader(reply, 0);
    sendNext();
}

// `requested`: the number asked for, taken when the status line names none.
void ScanSession::feedHeader(const NntpReply &reply, qint64 requested)
{
    m_headArticleNumber = statusNumber(reply);
    if (m_headArticleNumber == 0)
        m_headArticleNumber = requested;
    const QByteArray numberText = numBytes(m_headArticleNumber);
    scanProgress(m_currentGroup, numberText, false, displayDue());
    takeHeader(reply.raw, numberText, m_headArticleNumber);
}

// 423 or 430 to HEAD. While stepping, the article went between NEXT and HEAD: step on.
// The last-read article itself gone (expired or cancelled) leaves the server's pointer
// where GROUP put it, so NEXT would walk the whole group again; this server lists no
// article numbers, so NEXT steps over the articles read before without their headers.
void ScanSession::onNoSuchArticle()
{
    if (m_resumeHeadOut) {
        m_resumeHeadOut = false;
        stepPastLastRead();
        return;
    }
    if (m_headState == 1 || m_headState == 2)
        sendNext();
}

// No article numbers listed: NEXT steps on from where the pointer stands, and only the
// articles after m_headArticleNumber get a HEAD.
void ScanSession::stepPastLastRead()
{
    m_ctx.writeLog(QStringLiteral("The server does not list article numbers in ") +
                       displayText(m_currentGroup) +
                       QStringLiteral("; stepping past the articles read before."),
                   true);
    m_skipThrough = m_headArticleNumber;
    m_headState = 1;
    sendCommand("NEXT");
}

} // namespace kestrel
