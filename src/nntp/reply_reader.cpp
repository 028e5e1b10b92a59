#include "nntp/reply_reader.h"

#include <QIODevice>

#include <algorithm>
#include <cstring>

namespace kestrel {

namespace {

// Consumed bytes are dropped from the front of the buffer once they are at least this
// many and at least half of it, so the memmove stays amortised.
constexpr qsizetype kCompactAt = 64 * 1024;
// A buffer up to this size is kept for the next reply once its bytes are consumed or
// handed out: an article of a few hundred KB then lands in memory that is already
// mapped instead of in fresh pages that fault in one by one, article after article.
constexpr qsizetype kKeepCapacity = 8 * 1024 * 1024;

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// A block line (without its LF) that ends the block: "." with or without its CR.
bool isTerminator(QByteArrayView line)
{
    return line == "." || line == ".\r";
}

QByteArrayView withoutLineEnd(QByteArrayView line)
{
    if (line.endsWith('\n'))
        line.chop(1);
    if (line.endsWith('\r'))
        line.chop(1);
    return line;
}

} // namespace

QByteArrayView NntpReply::statusLine() const
{
    return withoutLineEnd(QByteArrayView(raw).first(statusSize));
}

int replyCode(QByteArrayView statusLine)
{
    statusLine = withoutLineEnd(statusLine);
    if (statusLine.size() < 3 || !isDigit(statusLine[0]) || !isDigit(statusLine[1]) ||
        !isDigit(statusLine[2]))
        return 0;
    if (statusLine.size() > 3 && statusLine[3] != ' ')
        return 0;
    return (statusLine[0] - '0') * 100 + (statusLine[1] - '0') * 10 + (statusLine[2] - '0');
}

ReplyReader::ReplyReader(qsizetype ceiling) : m_ceiling(ceiling) {}

void ReplyReader::expect(int multiLineCode, Delivery delivery, NntpCommand command)
{
    m_expected.push_back({multiLineCode, delivery, command});
}

void ReplyReader::expectReplyTo(QByteArrayView commandLine, Delivery delivery)
{
    expect(multiLineCodeFor(commandLine), delivery, nntpCommandOf(commandLine));
}

int ReplyReader::multiLineCodeFor(QByteArrayView commandLine)
{
    const qsizetype blank = commandLine.indexOf(' ');
    const QByteArray verb =
        withoutLineEnd(blank < 0 ? commandLine : commandLine.first(blank)).toByteArray().toUpper();
    struct Entry {
        const char *verb;
        int code;
    };
    static const Entry table[] = {
        {"ARTICLE", 220},   {"HEAD", 221}, {"BODY", 222},         {"XOVER", 224},     {"OVER", 224},
        {"LIST", 215},      {"XHDR", 221}, {"HDR", 225},          {"NEWGROUPS", 231}, {"NEWNEWS", 230},
        {"LISTGROUP", 211}, {"HELP", 100}, {"CAPABILITIES", 101},
    };
    for (const Entry &e : table) {
        if (verb == e.verb)
            return e.code;
    }
    return 0;
}

void ReplyReader::feed(QByteArrayView bytes)
{
    if (m_state == State::Failed || bytes.isEmpty())
        return;
    compact(bytes.size());
    if (m_buf.isEmpty())
        reuseSpare();
    m_buf.append(bytes);
}

qint64 ReplyReader::readFrom(QIODevice &device)
{
    const qint64 available = device.bytesAvailable();
    if (available <= 0)
        return 0;
    if (m_state == State::Failed)
        return device.skip(available);
    compact(available);
    if (m_buf.isEmpty())
        reuseSpare();
    const qsizetype before = m_buf.size();
    m_buf.resize(before + available);
    const qint64 got = device.read(m_buf.data() + before, available);
    m_buf.resize(before + std::max<qint64>(got, 0));
    return got;
}

// The buffer of the last block handed out whole comes back once its taker has let go
// of it (nobody else shares it any more).
void ReplyReader::reuseSpare()
{
    if (m_spare.isNull() || !m_spare.isDetached() || m_spare.capacity() <= m_buf.capacity())
        return;
    m_buf = std::move(m_spare);
    m_spare = QByteArray();
    m_buf.resize(0); // keeps the capacity
}

// A reply that starts at the front of the buffer can be handed out without a copy (see
// handOver), so the bytes not handed out move there whenever that costs no more than
// appending the bytes that come in, and in any case once most of the buffer is consumed.
void ReplyReader::compact(qsizetype incoming)
{
    if (m_pos == 0)
        return;
    if (m_pos == m_buf.size()) {
        if (m_buf.capacity() > kKeepCapacity)
            m_buf.clear();
        else
            m_buf.resize(0);
    } else if (buffered() <= incoming || (m_pos >= kCompactAt && m_pos * 2 >= m_buf.size())) {
        m_buf.remove(0, m_pos);
    } else {
        return;
    }
    m_scan -= m_pos;
    m_lineStart -= m_pos;
    m_pos = 0;
}

ReplyReader::Event ReplyReader::next()
{
    switch (m_state) {
    case State::Status:
        return readStatus();
    case State::Block:
        return readBlock();
    case State::LineBlock:
        return readLine();
    case State::Failed:
        break;
    }
    return Event::Overflow;
}

ReplyReader::Event ReplyReader::fail()
{
    m_state = State::Failed;
    m_buf = QByteArray();
    m_pos = m_scan = m_lineStart = 0;
    m_line = m_lineWithEnd = {};
    return Event::Overflow;
}

// Position of the next LF at or after m_scan, or -1 (then every byte has been looked at).
qsizetype ReplyReader::findLineEnd()
{
    const qsizetype size = m_buf.size();
    if (m_scan < size) {
        const char *base = m_buf.constData();
        if (const void *lf = std::memchr(base + m_scan, '\n', size_t(size - m_scan)))
            return static_cast<const char *>(lf) - base;
    }
    m_scan = size;
    return -1;
}

ReplyReader::Event ReplyReader::readStatus()
{
    const qsizetype lf = findLineEnd();
    if (lf < 0)
        return buffered() > m_ceiling ? fail() : Event::NeedMore;
    const qsizetype end = lf + 1;
    if (end - m_pos > m_ceiling)
        return fail();

    const QByteArrayView line = QByteArrayView(m_buf).sliced(m_pos, end - m_pos);
    const int code = replyCode(line);
    Expectation expected{0, Delivery::WholeBlock, NntpCommand::None};
    if (!m_expected.empty()) {
        expected = m_expected.front();
        m_expected.pop_front();
    }
    const bool multiLine = code != 0 && code == expected.multiLineCode;

    if (multiLine && expected.delivery == Delivery::WholeBlock) {
        m_state = State::Block;
        m_blockCommand = expected.command;
        m_statusSize = end - m_pos;
        m_lineStart = m_scan = end;
        return readBlock();
    }
    m_reply = NntpReply();
    m_reply.code = code;
    m_reply.command = expected.command;
    m_reply.multiLine = multiLine;
    m_reply.streamed = multiLine;
    m_reply.raw = line.toByteArray();
    m_reply.statusSize = line.size();
    m_pos = m_scan = end;
    if (multiLine)
        m_state = State::LineBlock;
    return Event::Reply;
}

ReplyReader::Event ReplyReader::readBlock()
{
    for (;;) {
        const qsizetype lf = findLineEnd();
        if (lf < 0)
            return buffered() > m_ceiling ? fail() : Event::NeedMore;
        const qsizetype end = lf + 1;
        if (end - m_pos > m_ceiling)
            return fail();
        if (!isTerminator(QByteArrayView(m_buf).sliced(m_lineStart, lf - m_lineStart))) {
            m_lineStart = m_scan = end;
            continue;
        }
        m_reply = NntpReply();
        m_reply.code = replyCode(QByteArrayView(m_buf).sliced(m_pos, m_statusSize));
        m_reply.command = m_blockCommand;
        m_reply.multiLine = true;
        m_reply.statusSize = m_statusSize;
        m_reply.blockSize = m_lineStart - m_pos - m_statusSize;
        // A large article at the front of the buffer: the buffer is handed over and only
        // what came after it (the start of the next replies) is copied, when that is less.
        if (m_pos == 0 && m_buf.size() - end < end)
            handOver(end);
        else {
            m_reply.raw = m_buf.mid(m_pos, end - m_pos);
            m_pos = m_scan = m_lineStart = end;
        }
        m_state = State::Status;
        return Event::Reply;
    }
}

// The first end bytes of the buffer become the reply; the bytes after them go to a
// fresh buffer (the recycled one when it is free), where nothing has been looked at.
void ReplyReader::handOver(qsizetype end)
{
    QByteArray whole = std::move(m_buf);
    m_buf = QByteArray();
    const QByteArrayView rest = QByteArrayView(whole).sliced(end);
    if (!rest.isEmpty()) {
        reuseSpare();
        m_buf.append(rest);
    }
    whole.truncate(end); // keeps the capacity
    m_reply.raw = std::move(whole);
    if (m_reply.raw.capacity() <= kKeepCapacity)
        m_spare = m_reply.raw; // shared, not copied
    m_pos = m_scan = m_lineStart = 0;
}

ReplyReader::Event ReplyReader::readLine()
{
    const qsizetype lf = findLineEnd();
    if (lf < 0)
        return buffered() > m_ceiling ? fail() : Event::NeedMore;
    const qsizetype end = lf + 1;
    if (end - m_pos > m_ceiling)
        return fail();
    const QByteArrayView line = QByteArrayView(m_buf).sliced(m_pos, lf - m_pos);
    m_lineWithEnd = QByteArrayView(m_buf).sliced(m_pos, end - m_pos);
    m_pos = m_scan = end;
    if (isTerminator(line)) {
        m_line = {};
        m_state = State::Status;
        return Event::BlockEnd;
    }
    m_line = line.endsWith('\r') ? line.chopped(1) : line;
    return Event::Line;
}

void ReplyReader::reset()
{
    m_buf = QByteArray();
    m_spare = QByteArray();
    m_pos = m_scan = m_lineStart = m_statusSize = 0;
    m_state = State::Status;
    m_expected.clear();
    m_reply = NntpReply();
    m_line = m_lineWithEnd = {};
}

} // namespace kestrel
