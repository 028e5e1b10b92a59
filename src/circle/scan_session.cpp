#include "circle/scan_session.h"

#include "circle/connections.h"
#include "circle/scan_display.h"
#include "circle/scan_events.h"
#include "circle/session_state.h"

#include "base/context.h"
#include "base/number_text.h"
#include "base/text_util.h"
#include "scan/favourites.h"
#include "scan/header_filter.h"

namespace kestrel {

namespace {

constexpr qint64 kDisplayIntervalMs = 50;

} // namespace

ScanSession::ScanSession(Context &ctx, SessionState &state, Connections &connections, Login &login,
                         FavouritesModel &favourites, HeaderFilter &filter, FilterCounters &counters,
                         ScanEvents &events)
    : m_ctx(ctx), m_state(state), m_connections(connections), m_connection(connections.scan()),
      m_login(login), m_favourites(favourites), m_filter(filter), m_counters(counters), m_events(events)
{
    m_block.reserve(4096);
}

void ScanSession::resetForConnect()
{
    m_headState = 0;
    m_xoverBytes = 0;
    m_rereadNumber = -1;
    m_xoverRangeStart.clear();
    m_xoverWay.clear();
    m_modeReaderSent = false;
    // The reader of a new connection expects nothing: no reply of the old one will come.
    m_window.clear();
    m_listed.clear();
    m_windowMode = false;
    m_windowHeads = 0;
    m_pageOut = false;
    m_listGroupRefused = false;
}

void ScanSession::groupSelected(const QByteArray &group, bool resumeFromLastRead)
{
    m_currentGroup = group;
    m_resumeFromLastRead = resumeFromLastRead;
    m_groupProgressEnabled = false;
    m_headState = 0;
    m_rereadNumber = -1;
    m_resumeHeadOut = false;
    m_skipThrough = -1;
    m_lastDisplayMs = -1;
    abandonWindow();
    abandonXoverRanges();
    // A range start left by another group or an earlier scan must not end this group.
    m_xoverRangeStart.clear();
    m_favRow = m_favourites.findRow(group);
}

void ScanSession::sendGroup()
{
    m_groupState = ScanState::GroupSent;
    sendCommand("GROUP " + m_currentGroup);
}

void ScanSession::sendCommand(const QByteArray &line, ReplyReader::Delivery delivery)
{
    const qsizetype blank = line.indexOf(' ');
    m_lastVerb = blank < 0 ? line : line.left(blank);
    m_connection.send(line, delivery);
}

void ScanSession::onData()
{
    SessionConnection &connection = m_connection;
    connection.touch(m_ctx.clock.msecsSinceStart());
    NntpConnection &tcp = connection.socket();
    if (!tcp.isConnected()) {
        m_connections.sendQuit(connection);
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
            m_ctx.writeLog(QStringLiteral("Reply too long, scan connection closed."), true);
            m_connections.closeConnection(connection);
            more = false;
            break;
        case ReplyReader::Event::Line:
            onXoverLine(reader.line());
            break;
        case ReplyReader::Event::BlockEnd:
            onXoverBlockEnd();
            break;
        case ReplyReader::Event::Reply:
            onReply(reader.takeReply());
            break;
        }
    }
    if (groupOver())
        m_events.groupFinished();
}

void ScanSession::logReply(const NntpReply &reply, const QString &suffix)
{
    m_ctx.writeLog(displayText(reply.raw) + suffix, true);
}

void ScanSession::onReply(const NntpReply &reply)
{
    if (reply.code == 205 && (m_state.scanQuitSent || reply.command == NntpCommand::Quit)) {
        onGoodbye(reply);
        return;
    }
    if (!m_connection.greeted()) {
        onGreeting(reply);
        return;
    }
    if (reply.command == NntpCommand::Xover) {
        if (dropStaleXoverReply(reply))
            return;
        if (reply.code == 224 && reply.streamed) {
            m_xoverBytes = reply.statusSize;
            m_ctx.writeLog(QStringLiteral("receiving xover data (") + QString::number(m_xoverBytes) +
                               QStringLiteral(" bytes)"),
                           false);
            askNextRangeEarly();
            return;
        }
    }
    if (takeWindowReply(reply))
        return;
    if (m_login.answer(ConnectionRole::Scan, reply))
        return;
    const ReplyReaction reaction = replyReaction(reply.command, reply.code, reply.statusLine());
    if (reaction == ReplyReaction::Success)
        onSuccess(reply);
    else if (reply.command == NntpCommand::None && reaction != ReplyReaction::ServiceClosing)
        logReply(reply); // said unprompted: nothing was asked that it could answer
    else if (!m_state.scanQuitSent)
        onRefusal(reaction, reply);
}

void ScanSession::onGoodbye(const NntpReply &reply)
{
    if (m_state.scanQuitSent)
        m_ctx.writeLog(displayText(reply.raw.mid(3)) + QStringLiteral("  (disconnected)"), true);
    else
        logReply(reply, QStringLiteral("  (disconnected)"));
    m_connections.closeConnection(m_connection);
}

void ScanSession::onSuccess(const NntpReply &reply)
{
    switch (reply.command) {
    case NntpCommand::Group:
        onGroupAnswered(reply);
        break;
    case NntpCommand::Next:
        onNextAnswered(reply);
        break;
    case NntpCommand::Head:
        if (reply.multiLine)
            onHeadComplete(reply);
        break;
    case NntpCommand::ModeReader:
        logReply(reply);
        reselectGroup();
        break;
    default:
        break;
    }
}

// Each refusal ends at once in a reaction and a log line; none waits for the watchdog.
void ScanSession::onRefusal(ReplyReaction reaction, const NntpReply &reply)
{
    const QString answer = displayText(reply.statusLine().toByteArray());
    const QString group = displayText(m_currentGroup);
    switch (reaction) {
    case ReplyReaction::ServiceClosing:
        m_connections.serviceEnded(m_connection, reply);
        break;
    case ReplyReaction::LoginRefused:
        loginRefused(reply);
        break;
    case ReplyReaction::ModeReader:
        askForModeReader(reply);
        break;
    case ReplyReaction::NoSuchGroup:
        skipGroup(QStringLiteral("Error, no such news group ") + group);
        break;
    case ReplyReaction::GroupDenied:
        skipGroup(QStringLiteral("No permission to read ") + group + QStringLiteral(" (") + answer +
                  QStringLiteral("); skipped."));
        break;
    case ReplyReaction::EndOfGroup:
        if (m_headState == 1 || m_headState == 2)
            scanProgress(m_currentGroup, m_groupLastText, false);
        m_groupState = ScanState::GroupDone;
        break;
    case ReplyReaction::NoSuchArticle:
        onNoSuchArticle();
        break;
    case ReplyReaction::EmptyRange:
        m_xoverBytes = reply.raw.size();
        onXoverEnd(true);
        break;
    case ReplyReaction::NoOverview:
        fallBackToHeadMode();
        break;
    default:
        skipGroup(QString::fromLatin1(m_lastVerb) + QStringLiteral(" failed in ") + group +
                  QStringLiteral(": ") + answer);
        break;
    }
}

// A group this connection cannot read now is left for the next scan; the next
// favourite is read at once.
void ScanSession::skipGroup(const QString &line)
{
    m_ctx.writeLog(line, true);
    abandonXoverRanges();
    m_headState = 0;
    m_groupState = ScanState::GroupFailed;
}

// A refused login ends the session like a refused service.
void ScanSession::loginRefused(const NntpReply &reply)
{
    logReply(reply, QStringLiteral("(disconnected)"));
    showScanIdle(m_ctx.display);
    m_state.scanStopRequested = true;
    m_connections.closeConnection(m_connection);
    m_ctx.state.scanning = false;
    m_ctx.prompter.message(QStringLiteral("Authentication Error.  Check Username/Password..."));
    m_events.runStopped(true);
}

// RFC 3977 5.3: a server that serves readers only after MODE READER. It is sent once per
// connection; the group is then selected again and read from its last-read article. A
// server that still refuses has the group skipped.
void ScanSession::askForModeReader(const NntpReply &reply)
{
    const QString answer = displayText(reply.statusLine().toByteArray());
    if (m_modeReaderSent) {
        skipGroup(QString::fromLatin1(m_lastVerb) + QStringLiteral(" failed in ") +
                  displayText(m_currentGroup) + QStringLiteral(": ") + answer);
        return;
    }
    m_modeReaderSent = true;
    m_ctx.writeLog(QStringLiteral("The server asks for reader mode (") + answer +
                       QStringLiteral("); sending MODE READER."),
                   true);
    m_headState = 0;
    sendCommand("MODE READER");
}

void ScanSession::reselectGroup()
{
    if (m_groupState <= ScanState::GroupDone)
        return;
    m_resumeFromLastRead = !m_favourites.getLastRead(m_currentGroup).isEmpty();
    m_resumeHeadOut = false;
    m_skipThrough = -1;
    sendGroup();
}

// RFC 3977 5.1.1: 200 or 201, or a refusal (400 for now, 502 for good), after which
// the server closes. A refusal takes the emergency path like a lost connection.
void ScanSession::onGreeting(const NntpReply &reply)
{
    if (replyReaction(NntpCommand::None, reply.code) != ReplyReaction::Success) {
        m_connections.serviceEnded(m_connection, reply);
        return;
    }
    logReply(reply);
    m_connection.greet(m_ctx.clock.msecsSinceStart());
    m_login.greeted(ConnectionRole::Scan);
}

void ScanSession::loginComplete()
{
    startScan();
}

void ScanSession::startScan()
{
    m_events.scanConnectionReady();
}

void ScanSession::sendLoginLine(const QByteArray &line)
{
    m_connection.send(line);
}

void ScanSession::userNameMissing()
{
    showScanIdle(m_ctx.display);
    m_groupState = ScanState::GroupFailed;
    m_connections.sendQuit(m_connection);
    // Nobody else ends a scan that a login stopped.
    m_ctx.state.scanning = false;
    m_events.runStopped(true);
}

void ScanSession::passwordMissing()
{
    showScanIdle(m_ctx.display);
    m_connections.sendQuit(m_connection);
    m_ctx.state.scanning = false;
    m_events.showLoginWindow();
    m_events.runStopped(true);
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
    if (m_groupState != ScanState::GroupSent) {
        m_groupState = ScanState::GroupDone;
        return;
    }
    parseGroupReply(reply.statusLine());
    m_groupProgressEnabled = true;
    m_groupState = ScanState::ReadingHeaders;
    m_groupHeadersThisScan = 0;
    m_xoverRangeStart.clear();

    const QByteArray lastRead = m_favourites.getLastRead(m_currentGroup);
    const qint64 last = qint64(numericValue(lastRead));
    // A group never read, or renumbered since, starts at its first article, which is
    // then new as well.
    const bool firstTime = lastRead.isEmpty() || last < m_groupFirst - 2 || last > m_groupLast + 2;
    if (!firstTime) {
        m_ctx.writeLog(QString::number(m_groupLast - last) + QStringLiteral(" new articles in ") +
                           displayText(m_currentGroup),
                       true);
        m_rereadNumber = last;
    } else {
        scanProgress(m_currentGroup, numBytes(m_groupFirst), true);
        m_ctx.writeLog(QString::number(m_groupCount) + QStringLiteral(" new articles in ") +
                           displayText(m_currentGroup),
                       true);
        m_rereadNumber = -1;
        m_resumeFromLastRead = false;
    }
    updateGroupRow(m_currentGroup, m_groupFirstText, m_groupLastText);

    const bool hasArticles = m_groupLast >= m_groupFirst;
    if (m_groupNewCount <= 0 && !(firstTime && hasArticles)) {
        m_groupState = ScanState::GroupDone;
        return;
    }
    if (m_state.useXover)
        sendXover();
    else
        startHeadMode(firstTime);
}

void ScanSession::updateGroupRow(const QByteArray &group, const QByteArray &firstText,
                                 const QByteArray &lastText)
{
    for (int i = 0; i < m_favourites.rowCount(); ++i) {
        if (m_favourites.row(i).name != group) {
            m_favourites.setSmallIcon(i, 1);
            continue;
        }
        m_favourites.setSubItem(i, FavFirst, trimmedSpaces(firstText));
        m_favourites.setSubItem(i, FavLast, trimmedSpaces(lastText));
        const FavouriteRow &row = m_favourites.row(i);
        const qint64 fresh =
            std::max<qint64>(0, qint64(numericValue(row.sub[FavLast]) - numericValue(row.sub[FavLastRead])));
        m_favourites.setNumber(i, FavUnread, fresh);
        m_groupNewCount = qint32(fresh);
        m_ctx.display.setBarValue(ProgressBar::GroupHeaders, 0);
        m_ctx.display.setBarMaximum(ProgressBar::GroupHeaders, int(fresh + 1));
        const qint64 total = std::max<qint64>(0, qint64(numericValue(lastText) - numericValue(firstText)));
        m_favourites.setNumber(i, FavTotal, total);
        m_favourites.setSmallIcon(i, 2);
        return;
    }
}

void ScanSession::scanProgress(const QByteArray &group, QByteArrayView number, bool force, bool display)
{
    if (!m_groupProgressEnabled)
        return;
    const QByteArrayView num = trimSpaces(number);
    int rowIndex = m_favRow;
    if (rowIndex < 0 || rowIndex >= m_favourites.rowCount() || m_favourites.row(rowIndex).name != group)
        rowIndex = m_favRow = m_favourites.findRow(group);
    if (rowIndex < 0)
        return;
    const FavouriteRow &row = m_favourites.row(rowIndex);
    if (force) {
        m_favourites.setSubItem(rowIndex, FavLastRead, num.toByteArray());
    } else {
        const double value = numericValue(num);
        if (value > numericValue(row.sub[FavLastRead])) {
            m_favourites.setSubItem(rowIndex, FavLastRead, num.toByteArray());
            if (value > numericValue(row.sub[FavLast]))
                m_favourites.setSubItem(rowIndex, FavLast, num.toByteArray());
        }
    }
    if (!display)
        return;

    const qint64 seconds = m_state.scanStart.secsTo(m_ctx.clock.now());
    const qint32 count = m_counters.scanHeaderCount;
    const double rate = seconds > 0 ? double(count + 1) / double(seconds) : 0.0;
    const QString numberText = displayText(num.toByteArray());
    if (count < 2)
        m_ctx.writeLog(QStringLiteral("Scanning Header ") + numberText + QStringLiteral("  Scan Time:") +
                           numText(seconds) + QStringLiteral("s"),
                       false);
    else
        m_ctx.writeLog(QStringLiteral("Scanning Header ") + numberText + QStringLiteral("; averaging ") +
                           QString::number(rate * 60.0, 'f', 1) +
                           QStringLiteral(" headers per minute. Scan Time:") + numText(seconds) +
                           QStringLiteral("s"),
                       false);
    if (row.sub[FavLast].isEmpty())
        return;
    const qint64 remaining = qint64(numericValue(row.sub[FavLast]) - numericValue(row.sub[FavLastRead]));
    m_favourites.setNumber(rowIndex, FavUnread, remaining);
    m_ctx.display.setGroupText(QString::number(remaining) + QStringLiteral(" new articles in ") +
                               displayText(m_currentGroup));
    const int maximum = m_ctx.display.bar(ProgressBar::GroupHeaders).maximum;
    if (remaining >= 0 && maximum - remaining >= 1)
        m_ctx.display.setBarValue(ProgressBar::GroupHeaders, int(maximum - remaining));
    else if (m_groupCount > 0)
        m_ctx.display.setBarMaximum(ProgressBar::GroupHeaders, int(std::min<qint64>(m_groupCount, INT_MAX)));
}

bool ScanSession::displayDue()
{
    const qint64 now = m_ctx.clock.msecsSinceStart();
    if (m_lastDisplayMs >= 0 && now - m_lastDisplayMs < kDisplayIntervalMs)
        return false;
    m_lastDisplayMs = now;
    return true;
}

void ScanSession::takeHeader(const QByteArray &block, const QByteArray &number, qint64 value)
{
    m_filter.filterArticleHeader(block, number);
    // The filter counts every header; one fetched again because it was read before
    // is not new.
    if (value <= m_rereadNumber)
        --m_counters.scanHeaderCount;
    else
        m_rereadNumber = value;
}

} // namespace kestrel
