#include "circle/scan_session.h"

#include "circle/circle.h"
#include "circle/connections.h"
#include "nntp/xover_line.h"

#include "base/context.h"
#include "base/number_text.h"
#include "scan/favourites.h"
#include "scan/header_filter.h"
#include "circle/scan_driver.h"
#include "base/text_util.h"

namespace kestrel {

namespace {

constexpr qint64 kDisplayIntervalMs = 50;

QByteArray trimmedNumber(qint64 n)
{
    return QByteArray::number(n);
}

} // namespace

ScanSession::ScanSession(Circle &circle) : m_c(circle)
{
    m_block.reserve(4096);
}

void ScanSession::resetForConnect()
{
    m_headState = 0;
    m_xoverActive = false;
    m_xoverBytes = 0;
    m_rereadNumber = -1;
    m_xoverRangeStart.clear();
}

void ScanSession::groupSelected(const QByteArray &group, bool resumeFromLastRead)
{
    m_currentGroup = group;
    m_resumeFromLastRead = resumeFromLastRead;
    m_groupProgressEnabled = false;
    m_headState = 0;
    m_rereadNumber = -1;
    m_lastDisplayMs = -1;
    // A range start left by another group or an earlier scan must not end this group.
    m_xoverRangeStart.clear();
    m_favRow = m_c.favourites().findRow(group);
}

void ScanSession::onData()
{
    Context &ctx = m_c.ctx();
    SessionConnection &connection = m_c.connections().scan();
    connection.touch(ctx.clock.now());
    NntpConnection &tcp = connection.socket();
    if (!tcp.isConnected()) {
        m_c.connections().sendQuit(connection);
        return;
    }
    ReplyReader &reader = tcp.reader();
    bool more = true;
    while (more && tcp.isConnected()) {
        switch (reader.next()) {
        case ReplyReader::Event::NeedMore:
            more = false;
            break;
        case ReplyReader::Event::Overflow:
            ctx.writeLog(QStringLiteral("Reply too long, scan connection closed."), true);
            m_c.connections().closeConnection(connection);
            more = false;
            break;
        case ReplyReader::Event::Line:
            onXoverLine(reader.line());
            break;
        case ReplyReader::Event::BlockEnd:
            onXoverEnd();
            break;
        case ReplyReader::Event::Reply:
            onReply(reader.takeReply());
            break;
        }
    }
    m_c.pollDriver();
}

void ScanSession::logReply(const NntpReply &reply, const QString &suffix)
{
    m_c.ctx().writeLog(displayText(reply.raw) + suffix, true);
}

void ScanSession::onReply(const NntpReply &reply)
{
    SessionState &s = m_c.state();
    Context &ctx = m_c.ctx();
    Connections &conn = m_c.connections();
    const int code = reply.code;

    if (s.scanQuitSent && code == 205) {
        ctx.writeLog(displayText(reply.raw.mid(3)) + QStringLiteral("  (disconnected)"), true);
        conn.closeConnection(conn.scan());
        return;
    }
    if (m_xoverActive) {
        if (code == 224 && reply.streamed) {
            m_xoverBytes = reply.statusSize;
            ctx.writeLog(QStringLiteral("receiving xover data (") + QString::number(m_xoverBytes) +
                             QStringLiteral(" bytes)"),
                         false);
            return;
        }
        switch (code) {
        case 400:
        case 480:
        case 502:
        case 205:
            m_xoverActive = false;
            break;
        default:
            onXoverError(reply);
            return;
        }
    }
    if (code == 221 && reply.multiLine) {
        onHeadComplete(reply);
        return;
    }
    if (m_c.login().answer(ConnectionRole::Scan, code))
        return;

    switch (code) {
    case 400:
        logReply(reply);
        ctx.display.setBarValue(ProgressBar::Groups, 0);
        ctx.display.setBarValue(ProgressBar::GroupHeaders, 0);
        ctx.display.setScanEnabled(true);
        s.scanStopRequested = false;
        conn.closeConnection(conn.scan());
        if (!ctx.state.rescanArmed)
            m_c.reportWait(true);
        break;
    case 420: // no current article: nothing left to step through
    case 421:
        if (code == 421 || m_headState == 1 || m_headState == 2) {
            scanProgress(m_currentGroup, m_groupLastText, false);
            s.scanState = ScanState::GroupDone;
        }
        break;
    case 423:
        if (m_headState == 1 || m_headState == 2)
            sendNext();
        break;
    case 500:
        logReply(reply);
        break;
    case 223:
        onNextAnswered();
        break;
    case 211:
        onGroupAnswered(reply);
        break;
    case 411:
        ctx.writeLog(QStringLiteral("Error, no such news group ") + displayText(m_currentGroup), true);
        s.scanState = ScanState::GroupFailed;
        break;
    case 205:
        logReply(reply, QStringLiteral("  (disconnected)"));
        conn.closeConnection(conn.scan());
        break;
    case 200:
    case 201:
        onGreeting(reply);
        break;
    case 202:
        logReply(reply);
        startScan();
        break;
    case 481: // a refused login ends the session like a refused service
    case 482:
    case 502:
        logReply(reply, QStringLiteral("(disconnected)"));
        ctx.display.setBarValue(ProgressBar::Groups, 0);
        ctx.display.setBarValue(ProgressBar::GroupHeaders, 0);
        ctx.display.setGroupText(QString());
        ctx.display.setScanEnabled(true);
        s.scanStopRequested = true;
        conn.closeConnection(conn.scan());
        ctx.state.scanning = false;
        ctx.prompter.message(QStringLiteral("Authentication Error.  Check Username/Password..."));
        m_c.reportWait(true);
        break;
    default:
        break;
    }
}

void ScanSession::onGreeting(const NntpReply &reply)
{
    Context &ctx = m_c.ctx();
    logReply(reply);
    m_c.connections().scan().greet(ctx.clock.now());
    m_c.login().greeted(ConnectionRole::Scan);
}

void ScanSession::loginComplete()
{
    startScan();
}

void ScanSession::startScan()
{
    m_c.driver().startScan();
}

void ScanSession::sendLoginLine(const QByteArray &line)
{
    m_c.connections().scan().send(line);
}

void ScanSession::userNameMissing()
{
    Context &ctx = m_c.ctx();
    ctx.display.setBarValue(ProgressBar::Groups, 0);
    ctx.display.setBarValue(ProgressBar::GroupHeaders, 0);
    ctx.display.setGroupText(QString());
    ctx.display.setScanEnabled(true);
    m_c.state().scanState = ScanState::GroupFailed;
    m_c.connections().sendQuit(m_c.connections().scan());
    // Nobody else ends a scan that a login stopped.
    ctx.state.scanning = false;
    m_c.reportWait(true);
}

void ScanSession::passwordMissing()
{
    Context &ctx = m_c.ctx();
    ctx.display.setBarValue(ProgressBar::Groups, 0);
    ctx.display.setBarValue(ProgressBar::GroupHeaders, 0);
    ctx.display.setGroupText(QString());
    ctx.display.setScanEnabled(true);
    m_c.connections().sendQuit(m_c.connections().scan());
    ctx.state.scanning = false;
    Q_EMIT m_c.loginWindowWanted();
    m_c.reportWait(true);
}

// ---- GROUP ----------------------------------------------------------------------

void ScanSession::parseGroupReply(QByteArrayView line)
{
    const QList<QByteArray> words = line.trimmed().toByteArray().split(' ');
    QList<QByteArray> parts;
    for (const QByteArray &w : words)
        if (!w.isEmpty())
            parts.append(w);
    // code, count, first, last, name
    m_groupFirstText = parts.value(2) + ' ';
    m_groupLastText = parts.value(3) + ' ';
    m_groupFirst = qint64(numericValue(m_groupFirstText));
    m_groupLast = qint64(numericValue(m_groupLastText));
    m_groupCount = m_groupLast - m_groupFirst;
}

void ScanSession::onGroupAnswered(const NntpReply &reply)
{
    SessionState &s = m_c.state();
    Context &ctx = m_c.ctx();
    if (s.scanState != ScanState::GroupSent) {
        s.scanState = ScanState::GroupDone;
        return;
    }
    parseGroupReply(reply.statusLine());
    m_groupProgressEnabled = true;
    s.scanState = ScanState::ReadingHeaders;
    m_groupHeadersThisScan = 0;
    m_xoverRangeStart.clear();

    const QByteArray lastRead = m_c.favourites().getLastRead(m_currentGroup);
    const qint64 last = qint64(numericValue(lastRead));
    // A group never read, or renumbered since, starts at its first article, which is
    // then new as well.
    const bool firstTime = lastRead.isEmpty() || last < m_groupFirst - 2 || last > m_groupLast + 2;
    if (!firstTime) {
        ctx.writeLog(QString::number(m_groupLast - last) + QStringLiteral(" new articles in ") +
                         displayText(m_currentGroup),
                     true);
        m_rereadNumber = last;
    } else {
        scanProgress(m_currentGroup, numBytes(m_groupFirst), true);
        ctx.writeLog(QString::number(m_groupCount) + QStringLiteral(" new articles in ") +
                         displayText(m_currentGroup),
                     true);
        m_rereadNumber = -1;
        m_resumeFromLastRead = false;
    }
    updateGroupRow(m_currentGroup, m_groupFirstText, m_groupLastText);

    const bool hasArticles = m_groupLast >= m_groupFirst;
    if (m_groupNewCount <= 0 && !(firstTime && hasArticles)) {
        s.scanState = ScanState::GroupDone;
        return;
    }
    if (s.useXover)
        sendXover();
    else if (firstTime)
        requestFirstHead();
    else
        sendNext();
}

void ScanSession::updateGroupRow(const QByteArray &group, const QByteArray &firstText,
                                 const QByteArray &lastText)
{
    FavouritesModel &favs = m_c.favourites();
    Context &ctx = m_c.ctx();
    for (int i = 0; i < favs.rowCount(); ++i) {
        if (favs.row(i).name != group) {
            favs.setSmallIcon(i, 1);
            continue;
        }
        favs.setSubItem(i, FavFirst, trimmedSpaces(firstText));
        favs.setSubItem(i, FavLast, trimmedSpaces(lastText));
        const FavouriteRow &row = favs.row(i);
        const qint64 fresh =
            std::max<qint64>(0, qint64(numericValue(row.sub[FavLast]) - numericValue(row.sub[FavLastRead])));
        favs.setSubItem(i, FavUnread, zeroPadded(double(fresh), 5));
        m_groupNewCount = qint32(fresh);
        ctx.display.setBarValue(ProgressBar::GroupHeaders, 0);
        ctx.display.setBarMaximum(ProgressBar::GroupHeaders, int(fresh + 1));
        const qint64 total = std::max<qint64>(0, qint64(numericValue(lastText) - numericValue(firstText)));
        favs.setSubItem(i, FavTotal, zeroPadded(double(total), 5));
        favs.setSmallIcon(i, 2);
        return;
    }
}

void ScanSession::scanProgress(const QByteArray &group, QByteArrayView number, bool force, bool display)
{
    if (!m_groupProgressEnabled)
        return;
    const QByteArrayView num = trimSpaces(number);
    FavouritesModel &favs = m_c.favourites();
    int rowIndex = m_favRow;
    if (rowIndex < 0 || rowIndex >= favs.rowCount() || favs.row(rowIndex).name != group)
        rowIndex = m_favRow = favs.findRow(group);
    if (rowIndex < 0)
        return;
    const FavouriteRow &row = favs.row(rowIndex);
    if (force) {
        favs.setSubItem(rowIndex, FavLastRead, num.toByteArray());
    } else {
        const double value = numericValue(num);
        if (value > numericValue(row.sub[FavLastRead])) {
            favs.setSubItem(rowIndex, FavLastRead, num.toByteArray());
            if (value > numericValue(row.sub[FavLast]))
                favs.setSubItem(rowIndex, FavLast, num.toByteArray());
        }
    }
    if (!display)
        return;

    Context &ctx = m_c.ctx();
    const qint64 seconds = m_c.state().scanStart.secsTo(ctx.clock.now());
    const qint32 count = m_c.counters().scanHeaderCount;
    const double rate = seconds > 0 ? double(count + 1) / double(seconds) : 0.0;
    const QString numberText = displayText(num.toByteArray());
    if (count < 2)
        ctx.writeLog(QStringLiteral("Scanning Header ") + numberText + QStringLiteral("  Scan Time:") +
                         numText(seconds) + QStringLiteral("s"),
                     false);
    else
        ctx.writeLog(QStringLiteral("Scanning Header ") + numberText + QStringLiteral("; averaging ") +
                         QString::number(rate * 60.0, 'f', 1) +
                         QStringLiteral(" headers per minute. Scan Time:") + numText(seconds) +
                         QStringLiteral("s"),
                     false);
    if (row.sub[FavLast].isEmpty())
        return;
    const qint64 remaining = qint64(numericValue(row.sub[FavLast]) - numericValue(row.sub[FavLastRead]));
    favs.setSubItem(rowIndex, FavUnread, zeroPadded(double(remaining), 5));
    ctx.display.setGroupText(QString::number(remaining) + QStringLiteral(" new articles in ") +
                             displayText(m_currentGroup));
    const int maximum = ctx.display.bar(ProgressBar::GroupHeaders).maximum;
    if (remaining >= 0 && maximum - remaining >= 1)
        ctx.display.setBarValue(ProgressBar::GroupHeaders, int(maximum - remaining));
    else if (m_groupCount > 0)
        ctx.display.setBarMaximum(ProgressBar::GroupHeaders, int(std::min<qint64>(m_groupCount, INT_MAX)));
}

// ---- HEAD mode -------------------------------------------------------------------

bool ScanSession::headerLimitsReached()
{
    Context &ctx = m_c.ctx();
    if (ctx.settings.checked(u"chkMaxPGPS")) {
        if (m_groupHeadersThisScan >= ctx.settings.slider(u"sldMaxPGPS")) {
            m_groupHeadersThisScan = 0;
            m_c.state().scanState = ScanState::GroupDone;
            return true;
        }
        ++m_groupHeadersThisScan;
    }
    if (ctx.state.pendingCount >= ctx.settings.slider(u"sldMaxPending")) {
        m_c.driver().scanStoppedMaxPending();
        return true;
    }
    return false;
}

void ScanSession::sendNext()
{
    if (headerLimitsReached())
        return;
    m_headState = 1;
    m_c.connections().scan().send("NEXT");
}

// The article pointer stands on the group's first article after GROUP, so its header
// is asked for before any NEXT moves past it.
void ScanSession::requestFirstHead()
{
    if (headerLimitsReached())
        return;
    m_headState = 2;
    m_c.connections().scan().send("HEAD");
}

void ScanSession::onNextAnswered()
{
    if (m_headState != 1 || m_c.state().scanQuitSent)
        return;
    m_headState = 2;
    if (!m_resumeFromLastRead) {
        m_c.connections().scan().send("HEAD");
        return;
    }
    m_headArticleNumber = qint64(numericValue(m_c.favourites().getLastRead(m_currentGroup)));
    m_resumeFromLastRead = false;
    m_c.connections().scan().send("HEAD" + numBytes(m_headArticleNumber));
}

void ScanSession::onHeadComplete(const NntpReply &reply)
{
    if (m_headState != 2)
        return;
    m_headState = 3;
    const QByteArrayView status = reply.statusLine();
    const qsizetype blank = status.indexOf(' ');
    QByteArrayView rest = blank < 0 ? QByteArrayView() : trimSpaces(status.sliced(blank + 1));
    const qsizetype end = rest.indexOf(' ');
    if (end >= 0)
        rest = rest.first(end);
    m_headArticleNumber = qint64(numericValue(rest));
    const QByteArray numberText = numBytes(m_headArticleNumber);
    scanProgress(m_currentGroup, numberText, false, displayDue());
    takeHeader(reply.raw, numberText, m_headArticleNumber);
    sendNext();
}

void ScanSession::takeHeader(const QByteArray &block, const QByteArray &number, qint64 value)
{
    m_c.filter().filterArticleHeader(block, number);
    // The filter counts every header; one fetched again because it was read before
    // is not new.
    if (value <= m_rereadNumber)
        --m_c.counters().scanHeaderCount;
    else
        m_rereadNumber = value;
}

// ---- XOVER mode ------------------------------------------------------------------

void ScanSession::sendXover()
{
    Context &ctx = m_c.ctx();
    m_c.state().scanState = ScanState::XoverRange;
    const QByteArray from = m_c.favourites().getLastRead(m_currentGroup);
    if (from == m_xoverRangeStart) {
        m_c.state().scanState = ScanState::GroupDone;
        return;
    }
    m_xoverRangeEnd = trimmedNumber(qint64(numericValue(from)) + ctx.settings.slider(u"sldXOVER"));
    m_xoverBytes = 0;
    m_xoverActive = true;
    m_lastDisplayMs = -1;
    m_c.connections().scan().send("XOVER " + from + '-' + m_xoverRangeEnd, ReplyReader::Delivery::Lines);
    m_xoverRangeStart = from;
}

bool ScanSession::displayDue()
{
    const qint64 now = m_c.ctx().clock.msecsSinceStart();
    if (m_lastDisplayMs >= 0 && now - m_lastDisplayMs < kDisplayIntervalMs)
        return false;
    m_lastDisplayMs = now;
    return true;
}

void ScanSession::onXoverLine(QByteArrayView line)
{
    m_xoverBytes += line.size() + 2;
    ++m_groupHeadersThisScan;
    QByteArrayView number;
    if (!parseXoverLine(line, m_block, number))
        return;
    scanProgress(m_currentGroup, number, false, displayDue());
    takeHeader(m_block, number.toByteArray(), qint64(numericValue(number)));
}

void ScanSession::onXoverEnd()
{
    Context &ctx = m_c.ctx();
    m_xoverActive = false;
    m_xoverBytes += 3;
    ctx.writeLog(QStringLiteral("xover data recieved") + numText(m_xoverBytes) + QStringLiteral(" bytes"),
                 true);
    if (numericValue(m_xoverRangeEnd) < numericValue(m_groupLastText))
        scanProgress(m_currentGroup, m_xoverRangeEnd, false);
    else
        scanProgress(m_currentGroup, m_c.favourites().getLastRead(m_currentGroup), false);
    if (ctx.state.pendingCount >= ctx.settings.slider(u"sldMaxPending")) {
        m_c.driver().scanStoppedMaxPending();
        return;
    }
    if (ctx.settings.checked(u"chkMaxPGPS") && m_groupHeadersThisScan >= ctx.settings.slider(u"sldMaxPGPS")) {
        m_groupHeadersThisScan = 0;
        m_c.state().scanState = ScanState::GroupDone;
        return;
    }
    if (ctx.settings.slider(u"sldXOVER") < m_groupNewCount)
        sendXover();
    else
        m_c.state().scanState = ScanState::GroupDone;
}

// A one-line answer to XOVER. "No articles in that range" is an empty range and moves
// on like one; any other error ends the group at once instead of waiting for the
// watchdog.
void ScanSession::onXoverError(const NntpReply &reply)
{
    m_xoverActive = false;
    if (reply.code == 423) {
        m_xoverBytes = reply.raw.size();
        onXoverEnd();
        return;
    }
    m_c.ctx().writeLog(QStringLiteral("XOVER failed in ") + displayText(m_currentGroup) +
                           QStringLiteral(": ") + displayText(reply.statusLine().toByteArray()),
                       true);
    m_c.state().scanState = ScanState::GroupDone;
}

} // namespace kestrel
