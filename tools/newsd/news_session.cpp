#include "news_session.h"

#include "news_server.h"

#include <QRegularExpression>
#include <QTcpSocket>

#include <algorithm>
#include <limits>
#include <tuple>

namespace kestrel::newsd {

namespace {

constexpr qsizetype kMaxCommandLine = 64 * 1024;
constexpr qint64 kBacklogLimit = 1024 * 1024;
constexpr qsizetype kOverviewChunk = 256 * 1024;

QByteArray standardText(int code)
{
    switch (code) {
    case 200:
        return "newsd ready (posting allowed)";
    case 201:
        return "newsd ready (no posting)";
    case 205:
        return "Bye";
    case 400:
        return "Service temporarily unavailable";
    case 403:
        return "Internal fault";
    case 411:
        return "No such newsgroup";
    case 412:
        return "No newsgroup selected";
    case 420:
        return "No current article";
    case 421:
        return "No next article in this group";
    case 423:
        return "No article with that number";
    case 430:
        return "No article with that message-id";
    case 480:
        return "Authentication required";
    case 481:
        return "Authentication failed";
    case 482:
        return "Authentication commands issued out of sequence";
    case 500:
        return "Unknown command";
    case 501:
        return "Syntax error";
    case 502:
        return "Permission denied";
    case 503:
        return "Not supported";
    default:
        return "Forced reply";
    }
}

std::optional<qint64> parseNumber(QByteArrayView text)
{
    if (text.isEmpty() || text.size() > 18 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    return text.toLongLong();
}

} // namespace

QByteArray dotStuffed(QByteArrayView text)
{
    QByteArray out;
    out.reserve(text.size() + text.size() / 64 + 8);
    qsizetype pos = 0;
    while (pos < text.size()) {
        qsizetype end = text.indexOf('\n', pos);
        end = end < 0 ? text.size() : end + 1;
        if (text[pos] == '.')
            out += '.';
        out += text.sliced(pos, end - pos);
        pos = end;
    }
    return out;
}

NewsSession::NewsSession(QTcpSocket *socket, NewsServer *server, int id, bool overLimit)
    : QObject(server), m_socket(socket), m_server(server), m_id(id), m_overLimit(overLimit),
      m_random(server->faults().splitSeed + quint32(id))
{
    m_clock.start();
    m_socket->setParent(this);
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    connect(m_socket, &QTcpSocket::readyRead, this, &NewsSession::onReadyRead);
    connect(m_socket, &QTcpSocket::bytesWritten, this, &NewsSession::pumpOverview);
    connect(m_socket, &QTcpSocket::disconnected, this, [this] { emit finished(this); });
    m_coalesceTimer.setSingleShot(true);
    connect(&m_coalesceTimer, &QTimer::timeout, this, &NewsSession::flushHeld);
    connect(&m_paceTimer, &QTimer::timeout, this, &NewsSession::writeNextPaced);
    m_latencyTimer.setSingleShot(true);
    m_latencyTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_latencyTimer, &QTimer::timeout, this, &NewsSession::processCommands);
}

void NewsSession::start()
{
    const std::optional<int> silence = m_server->takeSilence({});
    if (!silence) {
        sendGreeting();
    } else if (*silence >= 0) {
        QTimer::singleShot(*silence, this, &NewsSession::sendGreeting);
    }
}

void NewsSession::sendGreeting()
{
    if (m_overLimit) {
        reply(502, "Too many connections");
        closeAfterWriting();
        return;
    }
    const int code = m_server->faults().greetingCode;
    reply(code, standardText(code));
    if (code == 400 || code == 502) {
        closeAfterWriting();
        return;
    }
    m_holding = false;
    processCommands();
}

void NewsSession::closeNow()
{
    m_socket->abort();
}

void NewsSession::onReadyRead()
{
    m_input += m_socket->readAll();
    const qint64 due = m_clock.elapsed() + std::max(0, m_server->faults().latencyMs);
    qsizetype from = 0;
    for (qsizetype lf = m_input.indexOf('\n'); lf >= 0; lf = m_input.indexOf('\n', from)) {
        QByteArray line = m_input.sliced(from, lf - from);
        if (line.endsWith('\r'))
            line.chop(1);
        m_lines.push_back({std::move(line), due});
        from = lf + 1;
    }
    m_input.remove(0, from);
    if (m_input.size() > kMaxCommandLine) {
        closeNow();
        return;
    }
    processCommands();
}

void NewsSession::processCommands()
{
    while (!m_holding && !m_closing && !m_lines.empty()) {
        const qint64 wait = m_lines.front().dueMs - m_clock.elapsed();
        if (wait > 0) {
            m_latencyTimer.start(int(wait));
            return;
        }
        const QByteArray line = std::move(m_lines.front().line);
        m_lines.pop_front();
        m_server->record(m_id, line);

        const QByteArray verb = line.trimmed().split(' ').value(0).toUpper();
        const std::optional<int> silence = verb.isEmpty() ? std::nullopt : m_server->takeSilence(verb);
        if (silence) {
            m_holding = true;
            if (*silence >= 0) {
                QTimer::singleShot(*silence, this, [this, line] {
                    m_holding = false;
                    handle(line);
                    processCommands();
                });
            }
            return;
        }
        handle(line);
    }
}

void NewsSession::handle(const QByteArray &line)
{
    QList<QByteArray> words = line.split(' ');
    words.removeAll(QByteArray());
    if (words.isEmpty()) {
        reply(500, standardText(500));
        return;
    }
    const QByteArray verb = words.takeFirst().toUpper();
    const QByteArray &trickled = m_server->faults().trickleCommand;
    m_trickle = !trickled.isEmpty() && trickled.compare(verb, Qt::CaseInsensitive) == 0;
    if (const std::optional<ForcedReply> forced = m_server->takeForcedReply(verb, words)) {
        reply(forced->code, forced->text.isEmpty() ? standardText(forced->code) : forced->text);
        return;
    }
    if (m_server->authRequired() && !m_authenticated && verb != "AUTHINFO" && verb != "MODE" &&
        verb != "QUIT") {
        reply(480, standardText(480));
        return;
    }
    dispatch(verb, words);
}

void NewsSession::dispatch(const QByteArray &verb, const QList<QByteArray> &args)
{
    if (verb == "GROUP") {
        cmdGroup(args);
    } else if (verb == "NEXT") {
        cmdNext();
    } else if (verb == "HEAD" || verb == "ARTICLE" || verb == "BODY") {
        cmdArticle(verb, args);
    } else if (verb == "XOVER" || verb == "OVER") {
        cmdOver(args);
    } else if (verb == "LISTGROUP") {
        cmdListGroup(args);
    } else if (verb == "LIST") {
        cmdList(args);
    } else if (verb == "AUTHINFO") {
        cmdAuthinfo(args);
    } else if (verb == "MODE") {
        if (args.size() == 1 && args[0].toUpper() == "READER")
            reply(200, "Reader mode, posting permitted");
        else
            reply(501, standardText(501));
    } else if (verb == "SLAVE") {
        reply(202, "Slave status noted");
    } else if (verb == "QUIT") {
        reply(205, standardText(205));
        closeAfterWriting();
    } else {
        reply(500, standardText(500));
    }
}

qint64 NewsSession::shown(qint64 stored) const
{
    return stored + m_server->numberShift(m_group);
}

QByteArray NewsSession::messageIdOf(qint64 stored) const
{
    return headerValue(m_server->store().head(m_group, stored), "Message-ID");
}

void NewsSession::cmdGroup(const QList<QByteArray> &args)
{
    if (args.size() != 1) {
        reply(501, standardText(501));
        return;
    }
    const std::optional<GroupInfo> g = m_server->store().group(args[0]);
    if (!g) {
        reply(411, standardText(411));
        return;
    }
    m_group = g->name;
    const std::optional<qint64> first = m_server->store().nextAfter(m_group, g->first - 1);
    m_current = first ? *first : -1;
    const qint64 shift = m_server->numberShift(m_group);
    const qint64 last = g->count > 0 ? g->last : g->first - 1;
    reply(211, QByteArray::number(g->count) + ' ' + QByteArray::number(g->first + shift) + ' ' +
                   QByteArray::number(last + shift) + ' ' + g->name);
}

void NewsSession::cmdNext()
{
    if (m_group.isEmpty()) {
        reply(412, standardText(412));
        return;
    }
    if (m_current < 0) {
        reply(420, standardText(420));
        return;
    }
    const std::optional<qint64> next = m_server->store().nextAfter(m_group, m_current);
    if (!next) {
        reply(421, standardText(421));
        return;
    }
    m_current = *next;
    reply(223, QByteArray::number(shown(m_current)) + ' ' + messageIdOf(m_current) + " Article found");
}

std::optional<qint64> NewsSession::articleArgument(const QList<QByteArray> &args)
{
    if (args.size() > 1) {
        reply(501, standardText(501));
        return std::nullopt;
    }
    if (!args.isEmpty() && args[0].startsWith('<')) {
        reply(430, standardText(430));
        return std::nullopt;
    }
    if (m_group.isEmpty()) {
        reply(412, standardText(412));
        return std::nullopt;
    }
    if (args.isEmpty()) {
        if (m_current < 0)
            reply(420, standardText(420));
        return m_current < 0 ? std::nullopt : std::optional<qint64>(m_current);
    }
    const std::optional<qint64> number = parseNumber(args[0]);
    if (!number) {
        reply(501, standardText(501));
        return std::nullopt;
    }
    const qint64 stored = *number - m_server->numberShift(m_group);
    if (!m_server->store().has(m_group, stored)) {
        reply(423, standardText(423));
        return std::nullopt;
    }
    m_current = stored;
    return stored;
}

void NewsSession::cmdArticle(const QByteArray &verb, const QList<QByteArray> &args)
{
    const std::optional<qint64> stored = articleArgument(args);
    if (!stored)
        return;
    const ArticleStore &store = m_server->store();
    const QByteArray head = store.head(m_group, *stored);
    const QByteArray status = QByteArray::number(shown(*stored)) + ' ' + headerValue(head, "Message-ID");
    if (verb == "HEAD") {
        replyWithBlock("221 " + status, head);
        return;
    }
    const QByteArray text =
        verb == "BODY" ? store.body(m_group, *stored) : head + "\r\n" + store.body(m_group, *stored);
    const QByteArray whole =
        (verb == "BODY" ? "222 " : "220 ") + status + "\r\n" + dotStuffed(text) + ".\r\n";
    const qint64 dropAt = m_server->takeDropPoint(whole.size());
    if (dropAt < 0) {
        writePart(whole, 0, true);
        return;
    }
    writePart(whole.left(dropAt), 0, true);
    closeAfterWriting();
}

void NewsSession::cmdOver(const QList<QByteArray> &args)
{
    if (m_group.isEmpty()) {
        reply(412, standardText(412));
        return;
    }
    if (args.size() > 1) {
        reply(501, standardText(501));
        return;
    }
    qint64 from = m_current;
    qint64 to = m_current;
    if (args.isEmpty()) {
        if (m_current < 0) {
            reply(420, standardText(420));
            return;
        }
    } else {
        const auto range = rangeArgument(args[0]);
        if (!range)
            return;
        std::tie(from, to) = *range;
    }
    const std::optional<qint64> first = m_server->store().nextAfter(m_group, from - 1);
    if (!first || *first > to) {
        const int code = m_server->faults().emptyRangeCode;
        reply(code, code == 423   ? QByteArray("No articles in that range")
                    : code == 420 ? QByteArray("No article(s) selected")
                                  : standardText(code));
        return;
    }
    const QByteArray status = "224 Overview information follows\r\n";
    writePart(status, 0, false);
    m_overview = OverviewJob{m_group, *first, to, status.size(), m_server->faults().overviewFlood};
    if (m_overview->floodLeft > 0)
        m_overview->next = from;
    m_holding = true;
    pumpOverview();
}

std::optional<std::pair<qint64, qint64>> NewsSession::rangeArgument(const QByteArray &range)
{
    const qint64 shift = m_server->numberShift(m_group);
    const qsizetype dash = range.indexOf('-');
    const std::optional<qint64> a = parseNumber(dash < 0 ? range : range.left(dash));
    const QByteArray tail = dash < 0 ? QByteArray() : range.mid(dash + 1);
    const std::optional<qint64> b = tail.isEmpty() ? std::nullopt : parseNumber(tail);
    if (!a || (!tail.isEmpty() && !b)) {
        reply(501, standardText(501));
        return std::nullopt;
    }
    const qint64 from = *a - shift;
    const qint64 to = dash < 0 ? from : b ? *b - shift : std::numeric_limits<qint64>::max() / 2;
    return std::make_pair(from, to);
}

// RFC 3977 6.1.2: selects the group (the first article becomes the current one) and
// lists the numbers of the range, or of the whole group.
void NewsSession::cmdListGroup(const QList<QByteArray> &args)
{
    if (args.size() > 2 || (args.isEmpty() && m_group.isEmpty())) {
        reply(args.size() > 2 ? 501 : 412, standardText(args.size() > 2 ? 501 : 412));
        return;
    }
    const std::optional<GroupInfo> g = m_server->store().group(args.isEmpty() ? m_group : args[0]);
    if (!g) {
        reply(411, standardText(411));
        return;
    }
    m_group = g->name;
    const ArticleStore &store = m_server->store();
    const std::optional<qint64> first = store.nextAfter(m_group, g->first - 1);
    m_current = first ? *first : -1;
    qint64 from = g->first;
    qint64 to = g->last;
    if (args.size() == 2) {
        const auto range = rangeArgument(args[1]);
        if (!range)
            return;
        std::tie(from, to) = *range;
    }
    const qint64 shift = m_server->numberShift(m_group);
    QByteArray block;
    for (std::optional<qint64> n = store.nextAfter(m_group, from - 1); n && *n <= to;
         n = store.nextAfter(m_group, *n))
        block += QByteArray::number(*n + shift) + "\r\n";
    const qint64 last = g->count > 0 ? g->last : g->first - 1;
    replyWithBlock("211 " + QByteArray::number(g->count) + ' ' + QByteArray::number(g->first + shift) + ' ' +
                       QByteArray::number(last + shift) + ' ' + g->name + " list follows",
                   block);
}

void NewsSession::pumpOverview()
{
    if (!m_overview || m_closing)
        return;
    while (m_overview && backlog() < kBacklogLimit) {
        QByteArray chunk;
        chunk.reserve(kOverviewChunk + 1024);
        const bool done = m_overview->floodLeft > 0 ? floodChunk(chunk) : overviewChunk(chunk);
        writePart(chunk, m_overview->offset, done);
        m_overview->offset += chunk.size();
        if (done) {
            m_overview.reset();
            m_holding = false;
            processCommands();
            return;
        }
    }
}

// The next lines of the range asked for, and the end of the block after the last one.
bool NewsSession::overviewChunk(QByteArray &chunk)
{
    const ArticleStore &store = m_server->store();
    const qint64 shift = m_server->numberShift(m_overview->group);
    std::optional<qint64> n = m_overview->next;
    while (n && *n <= m_overview->last && chunk.size() < kOverviewChunk) {
        chunk += QByteArray::number(*n + shift) + '\t' + store.overviewFields(m_overview->group, *n) + "\r\n";
        n = store.nextAfter(m_overview->group, *n);
    }
    const bool done = !n || *n > m_overview->last;
    if (done)
        chunk += ".\r\n";
    else
        m_overview->next = *n;
    return done;
}

bool NewsSession::floodChunk(QByteArray &chunk)
{
    const ArticleStore &store = m_server->store();
    const qint64 shift = m_server->numberShift(m_overview->group);
    // Numbers the group holds get their own fields, the others those of its first article.
    const std::optional<qint64> first =
        store.nextAfter(m_overview->group, std::numeric_limits<qint64>::min() / 2);
    const QByteArray filler =
        first ? store.overviewFields(m_overview->group, *first) : QByteArray("\t\t\t\t\t\t");
    while (m_overview->floodLeft > 0 && chunk.size() < kOverviewChunk) {
        const qint64 n = m_overview->next;
        const bool held = store.has(m_overview->group, n);
        chunk += QByteArray::number(n + shift) + '\t' +
                 (held ? store.overviewFields(m_overview->group, n) : filler) + "\r\n";
        ++m_overview->next;
        --m_overview->floodLeft;
    }
    if (m_overview->floodLeft > 0)
        return false;
    chunk += ".\r\n";
    return true;
}

void NewsSession::cmdList(const QList<QByteArray> &args)
{
    const QByteArray keyword = args.isEmpty() ? QByteArray("ACTIVE") : args[0].toUpper();
    if ((keyword != "ACTIVE" && keyword != "NEWSGROUPS") || args.size() > 2) {
        reply(501, standardText(501));
        return;
    }
    QRegularExpression pattern;
    if (args.size() == 2) {
        pattern = QRegularExpression(QRegularExpression::wildcardToRegularExpression(
            QString::fromUtf8(args[1]), QRegularExpression::UnanchoredWildcardConversion));
        pattern.setPattern(QLatin1Char('^') + pattern.pattern() + QLatin1Char('$'));
    }
    QByteArray block;
    for (const GroupInfo &g : m_server->store().groups()) {
        if (args.size() == 2 && !pattern.match(QString::fromUtf8(g.name)).hasMatch())
            continue;
        const qint64 shift = m_server->numberShift(g.name);
        const qint64 last = g.count > 0 ? g.last : g.first - 1;
        if (keyword == "ACTIVE")
            block += g.name + ' ' + QByteArray::number(last + shift) + ' ' +
                     QByteArray::number(g.first + shift) + " y\r\n";
        else
            block += g.name + "\tSample pictures\r\n";
    }
    replyWithBlock(keyword == "ACTIVE" ? "215 list of newsgroups follows" : "215 information follows", block);
}

void NewsSession::cmdAuthinfo(const QList<QByteArray> &args)
{
    if (args.size() != 2) {
        reply(501, standardText(501));
        return;
    }
    const QByteArray kind = args[0].toUpper();
    if (kind != "USER" && kind != "PASS") {
        reply(501, standardText(501));
        return;
    }
    if (m_authenticated) {
        reply(502, "Already authenticated");
        return;
    }
    if (kind == "USER") {
        m_pendingUser = args[1];
        reply(381, "Password required");
        return;
    }
    if (!m_pendingUser) {
        reply(482, standardText(482));
        return;
    }
    const QByteArray user = *m_pendingUser;
    m_pendingUser.reset();
    if (!m_server->credentialsMatch(user, args[1])) {
        reply(481, standardText(481));
        return;
    }
    m_authenticated = true;
    reply(281, "Authentication accepted");
}

void NewsSession::reply(int code, const QByteArray &text)
{
    writePart(QByteArray::number(code) + ' ' + text + "\r\n", 0, true);
}

void NewsSession::replyWithBlock(const QByteArray &statusLine, QByteArrayView block)
{
    writePart(statusLine + "\r\n" + dotStuffed(block) + ".\r\n", 0, true);
}

// Every byte the session sends goes through here, a reply at a time or, for a long
// overview listing, a piece at a time (`offset` is where the piece starts in its reply).
void NewsSession::writePart(const QByteArray &bytes, qint64 offset, bool lastOfReply)
{
    const FaultPlan &faults = m_server->faults();
    if (faults.repliesPerSegment > 1) {
        m_held += bytes;
        if (lastOfReply && ++m_heldReplies >= faults.repliesPerSegment)
            flushHeld();
        else if (!m_coalesceTimer.isActive())
            m_coalesceTimer.start(faults.coalesceWaitMs);
        return;
    }
    if (!m_held.isEmpty())
        flushHeld();
    if (m_trickle) {
        writeTrickled(bytes);
        return;
    }
    if (!faults.splitAt.isEmpty() || faults.randomSplits > 0 || !m_paced.empty()) {
        writePaced(bytes, offset);
        return;
    }
    m_socket->write(bytes);
}

void NewsSession::writePaced(const QByteArray &bytes, qint64 offset)
{
    const FaultPlan &faults = m_server->faults();
    QList<qsizetype> cuts;
    for (qsizetype at : faults.splitAt) {
        if (at > offset && at < offset + bytes.size())
            cuts.append(at - offset);
    }
    if (bytes.size() > 1) {
        for (int i = 0; i < faults.randomSplits; ++i)
            cuts.append(1 + qsizetype(m_random.bounded(quint64(bytes.size() - 1))));
    }
    std::sort(cuts.begin(), cuts.end());
    cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
    qsizetype from = 0;
    cuts.append(bytes.size());
    for (qsizetype cut : cuts) {
        if (cut > from) {
            m_paced.push_back(bytes.mid(from, cut - from));
            m_pacedBytes += cut - from;
        }
        from = cut;
    }
    if (!m_paceTimer.isActive()) {
        writeNextPaced();
        m_paceTimer.start(std::max(0, faults.splitPauseMs));
    }
}

void NewsSession::writeTrickled(const QByteArray &bytes)
{
    const FaultPlan &faults = m_server->faults();
    const qsizetype step = std::max(1, faults.trickleBytes);
    for (qsizetype at = 0; at < bytes.size(); at += step) {
        m_paced.push_back(bytes.mid(at, step));
        m_pacedBytes += m_paced.back().size();
    }
    if (!m_paceTimer.isActive()) {
        writeNextPaced();
        m_paceTimer.start(std::max(1, faults.tricklePauseMs));
    }
}

void NewsSession::writeNextPaced()
{
    if (m_paced.empty()) {
        m_paceTimer.stop();
        closeIfDrained();
        return;
    }
    const QByteArray segment = std::move(m_paced.front());
    m_paced.pop_front();
    m_pacedBytes -= segment.size();
    m_socket->write(segment);
    m_socket->flush();
    if (m_paced.empty()) {
        m_paceTimer.stop();
        pumpOverview();
        closeIfDrained();
    }
}

void NewsSession::flushHeld()
{
    m_coalesceTimer.stop();
    if (!m_held.isEmpty()) {
        m_socket->write(m_held);
        m_socket->flush();
    }
    m_held.clear();
    m_heldReplies = 0;
    closeIfDrained();
}

qint64 NewsSession::backlog() const
{
    return m_socket->bytesToWrite() + m_pacedBytes + m_held.size();
}

void NewsSession::closeAfterWriting()
{
    m_closing = true;
    m_holding = true;
    m_overview.reset();
    if (!m_held.isEmpty())
        flushHeld();
    closeIfDrained();
}

void NewsSession::closeIfDrained()
{
    if (m_closing && m_paced.empty() && m_held.isEmpty())
        m_socket->disconnectFromHost();
}

} // namespace kestrel::newsd
