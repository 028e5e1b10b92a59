// XOVER mode, the next range asked for while the one before is read (RFC 3977 3.5): as
// soon as a range's answer has begun and the lines still to come can no longer end the
// group, the range after it goes out, so the link carries it while the filter works
// through the lines. It is read once the range before has ended and asks for the same
// one; a range asked for early that is not wanted then (QUIT sent, a setting or the
// last-read number changed, a server's stray lines) has its answer read and dropped.
#include "circle/scan_session.h"
#include "circle/session_state.h"

#include "base/context.h"
#include "base/text_util.h"
#include "scan/favourites.h"

namespace kestrel {

void ScanSession::requestXoverRange(const QByteArray &from, const QByteArray &to)
{
    m_xoverWay.push_back({from, to, false});
    sendCommand("XOVER " + from + '-' + to, ReplyReader::Delivery::Lines);
}

// Called when a range's answer begins and after each line taken from it. At most one
// range goes ahead of the one being read, and only with requests on their way allowed
// at all (sldPipeline 1 keeps one command at a time).
void ScanSession::askNextRangeEarly()
{
    m_xoverAheadDue = false;
    if (m_xoverWay.size() != 1 || m_groupState != ScanState::XoverRange || m_state.scanQuitSent)
        return;
    if (m_ctx.settings.slider(u"sldPipeline") < 2 || m_xoverTo >= m_groupLast ||
        m_ctx.settings.slider(u"sldXOVER") >= m_groupNewCount)
        return; // the range ends the group, or leaves what comes next to its lines
    if (!nextRangeCertain()) {
        m_xoverAheadDue = true;
        return;
    }
    const qint64 to = m_xoverTo + m_ctx.settings.slider(u"sldXOVER");
    requestXoverRange(m_xoverRangeEnd, QByteArray::number(to));
}

// Each line still to come may add one entry to the pending list and one to the
// per-group count; the next range is certain once neither can reach its limit.
bool ScanSession::nextRangeCertain() const
{
    const qint64 linesAtMost = m_xoverTo - m_xoverLastTaken;
    if (m_ctx.state.pendingCount + linesAtMost >= m_ctx.settings.slider(u"sldMaxPending"))
        return false;
    return !m_ctx.settings.checked(u"chkMaxPGPS") ||
           m_groupHeadersThisScan + linesAtMost < m_ctx.settings.slider(u"sldMaxPGPS");
}

// The range read last has ended and the group goes on: the range asked for early is
// read when it is the one that would be asked for now; otherwise (a setting or the
// last-read number changed meanwhile, or QUIT went out) it is dropped and the range is
// asked for as always.
void ScanSession::continueXover()
{
    if (m_xoverWay.empty()) {
        sendXover();
        return;
    }
    const XoverRequest &ahead = m_xoverWay.front();
    const QByteArray from = m_favourites.getLastRead(m_currentGroup);
    const QByteArray to = QByteArray::number(qint64(numericValue(from)) + m_ctx.settings.slider(u"sldXOVER"));
    if (ahead.stale || ahead.from != from || ahead.to != to || from == m_xoverRangeStart ||
        m_state.scanQuitSent) {
        abandonXoverRanges();
        sendXover();
        return;
    }
    beginXoverRange(ahead.from, ahead.to);
}

void ScanSession::abandonXoverRanges(size_t keep)
{
    for (size_t i = keep; i < m_xoverWay.size(); ++i)
        m_xoverWay[i].stale = true;
}

void ScanSession::onXoverBlockEnd()
{
    const bool stale = !m_xoverWay.empty() && m_xoverWay.front().stale;
    if (!m_xoverWay.empty())
        m_xoverWay.pop_front();
    if (!stale)
        onXoverEnd();
}

// Each XOVER reply answers the oldest range on its way; a 224 holds it until its block
// has ended. A stale range's answer is dropped whatever it says, except that the
// server is going away.
bool ScanSession::dropStaleXoverReply(const NntpReply &reply)
{
    if (m_xoverWay.empty())
        return false;
    const bool stale = m_xoverWay.front().stale;
    const bool block = reply.code == 224 && reply.streamed;
    if (!block)
        m_xoverWay.pop_front();
    if (!stale)
        return false;
    return block ||
           replyReaction(reply.command, reply.code, reply.statusLine()) != ReplyReaction::ServiceClosing;
}

} // namespace kestrel
