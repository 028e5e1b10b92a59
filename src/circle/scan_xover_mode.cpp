// XOVER mode of the scan session: ranges of overview lines, taken line by line as they
// arrive.
#include "circle/scan_events.h"
#include "circle/scan_session.h"
#include "circle/session_connection.h"
#include "circle/session_state.h"
#include "nntp/xover_line.h"

#include "base/context.h"
#include "base/number_text.h"
#include "base/text_util.h"
#include "scan/favourites.h"

namespace kestrel {

namespace {

QByteArray trimmedNumber(qint64 n)
{
    return QByteArray::number(n);
}

} // namespace

void ScanSession::sendXover()
{
    m_groupState = ScanState::XoverRange;
    const QByteArray from = m_favourites.getLastRead(m_currentGroup);
    if (from == m_xoverRangeStart) {
        m_groupState = ScanState::GroupDone;
        return;
    }
    const QByteArray to = trimmedNumber(qint64(numericValue(from)) + m_ctx.settings.slider(u"sldXOVER"));
    beginXoverRange(from, to);
    requestXoverRange(from, to);
}

void ScanSession::beginXoverRange(const QByteArray &from, const QByteArray &to)
{
    m_groupState = ScanState::XoverRange;
    m_xoverRangeStart = from;
    m_xoverRangeEnd = to;
    m_xoverBytes = 0;
    m_xoverFrom = qint64(numericValue(from));
    m_xoverTo = qint64(numericValue(to));
    m_xoverLastTaken = m_xoverFrom - 1;
    m_xoverIgnored = 0;
    m_xoverFull = false;
    m_xoverAheadDue = false;
    m_lastDisplayMs = -1;
}

// A reply is handed over line by line, so a server that sends more than it was asked
// for (lines outside the range, a million of them) costs time but no memory: such lines
// are dropped, and so is everything once the pending list is full.
void ScanSession::onXoverLine(QByteArrayView line)
{
    if (!m_xoverWay.empty() && m_xoverWay.front().stale)
        return;
    m_xoverBytes += line.size() + 2;
    if (m_xoverFull)
        return;
    if (!xoverLineWanted(line))
        return;
    if (m_ctx.state.pendingCount >= m_ctx.settings.slider(u"sldMaxPending")) {
        xoverListFull();
        return;
    }
    ++m_groupHeadersThisScan;
    QByteArrayView number;
    if (!parseXoverLine(line, m_block, number))
        return;
    m_xoverLastTaken = qint64(numericValue(number));
    scanProgress(m_currentGroup, number, false, displayDue());
    takeHeader(m_block, number.toByteArray(), m_xoverLastTaken);
    if (m_xoverAheadDue)
        askNextRangeEarly();
}

bool ScanSession::xoverLineWanted(QByteArrayView line)
{
    const qsizetype tab = line.indexOf('\t');
    if (tab < 0)
        return true; // not an overview line; counted and passed over as always
    const qint64 number = qint64(numericValue(line.first(tab)));
    if (number >= m_xoverFrom && number <= m_xoverTo && number > m_xoverLastTaken)
        return true;
    ++m_xoverIgnored;
    return false;
}

// The scan stops here as at the end of a range with the list full. The group's last-read
// number stays at the last line queued, so the lines dropped come again next time.
void ScanSession::xoverListFull()
{
    m_xoverFull = true;
    abandonXoverRanges(1);
    m_ctx.writeLog(QStringLiteral("Pending list full: the rest of the overview of ") +
                       displayText(m_currentGroup) +
                       QStringLiteral(" is not queued; it is read again next time."),
                   true);
    m_groupState = ScanState::GroupDone;
    m_events.pendingListFull();
}

void ScanSession::onXoverEnd(bool emptyRange)
{
    m_xoverBytes += 3;
    m_ctx.writeLog(QStringLiteral("xover data recieved") + numText(m_xoverBytes) + QStringLiteral(" bytes"),
                   true);
    if (m_xoverIgnored > 0)
        m_ctx.writeLog(QStringLiteral("Ignored") + numText(m_xoverIgnored) +
                           QStringLiteral(" overview lines outside the range asked for (") +
                           QString::fromLatin1(m_xoverRangeStart + '-' + m_xoverRangeEnd) +
                           QStringLiteral(")."),
                       true);
    if (m_xoverFull)
        return;
    if (emptyRange) {
        // Nothing is numbered in the range, so it is read to its end. A gap wider than one
        // range then costs one round trip per range instead of holding the group there.
        const qint64 rangeEnd = qint64(numericValue(m_xoverRangeEnd));
        scanProgress(m_currentGroup, numBytes(std::min(rangeEnd, m_groupLast)), false);
        if (rangeEnd >= m_groupLast) {
            abandonXoverRanges();
            m_groupState = ScanState::GroupDone;
            return;
        }
    } else if (numericValue(m_xoverRangeEnd) < numericValue(m_groupLastText))
        scanProgress(m_currentGroup, m_xoverRangeEnd, false);
    else
        scanProgress(m_currentGroup, m_favourites.getLastRead(m_currentGroup), false);
    if (m_ctx.state.pendingCount >= m_ctx.settings.slider(u"sldMaxPending")) {
        abandonXoverRanges();
        m_groupState = ScanState::GroupDone;
        m_events.pendingListFull();
        return;
    }
    if (m_ctx.settings.checked(u"chkMaxPGPS") &&
        m_groupHeadersThisScan >= m_ctx.settings.slider(u"sldMaxPGPS")) {
        abandonXoverRanges();
        m_groupHeadersThisScan = 0;
        m_groupState = ScanState::GroupDone;
        return;
    }
    if (m_ctx.settings.slider(u"sldXOVER") < m_groupNewCount) {
        continueXover();
        return;
    }
    abandonXoverRanges();
    m_groupState = ScanState::GroupDone;
}

// For the rest of this connection only: the setting stays, and the next connection
// tries XOVER again, as the server may be another one by then.
void ScanSession::fallBackToHeadMode()
{
    m_state.useXover = false;
    abandonXoverRanges();
    m_ctx.writeLog(QStringLiteral("The server does not support XOVER; reading headers one by one."), true);
    m_groupState = ScanState::ReadingHeaders;
    // A refused XOVER leaves the current article where GROUP put it, on the group's
    // first article, so HEAD mode picks the group up as if it had just been selected.
    startHeadMode(m_rereadNumber < 0);
}

} // namespace kestrel
