#pragma once

#include "nntp/nntp_command.h"

#include <QByteArray>
#include <QByteArrayView>

class QIODevice;

#include <deque>

namespace kestrel {

// One reply of the server as the reader hands it out.
struct NntpReply {
    int code = 0;                            // 0 when the status line did not begin with three digits
    NntpCommand command = NntpCommand::None; // what it answers (None: nothing was asked)
    bool multiLine = false;                  // a block follows the status line
    bool streamed = false;    // the block's lines are handed out one by one (raw holds no block)
    QByteArray raw;           // bytes exactly as received: status line, block lines, "." line
    qsizetype statusSize = 0; // bytes of the status line with its line end
    qsizetype blockSize = 0;  // bytes of the block lines, the "." line not counted

    // The status line without its line end.
    QByteArrayView statusLine() const;
    // The block lines with their line ends, still dot-stuffed; the "." line is not part of it.
    QByteArrayView block() const { return QByteArrayView(raw).sliced(statusSize, blockSize); }
};

// Cuts the byte stream of one NNTP connection into replies, whatever the TCP
// segmentation: a status line is taken only once its line end has arrived, and a
// multi-line block only once its "." line has. Line ends are CR LF; a bare LF is taken
// as a line end too. Finding the end of a block looks only at bytes not looked at
// before, so a block that arrives in many pieces costs no more than one that arrives
// whole.
//
// Whether a block follows a status line depends on the command it answers (211 is a
// block after LISTGROUP, a single line after GROUP), so the caller says what it sent:
// one expect() per command, in the order the commands went out. A reply that arrives
// when nothing is expected (the greeting, an unprompted 400) is a single line.
//
// No reply (and, when lines are handed out one by one, no line) may grow past the
// ceiling: one that does puts the reader into the Overflow state for good, since the
// stream can no longer be followed; the connection has to be closed.
//
// Use: after every feed(), call next() until it says NeedMore (or stop early and call it
// again later; nothing is lost).
class ReplyReader {
public:
    static constexpr qsizetype kDefaultCeiling = qsizetype(64) * 1024 * 1024;

    enum class Delivery {
        WholeBlock, // the reply is handed out once its "." line has arrived
        Lines,      // the status line is handed out at once, then each block line as it arrives
    };
    enum class Event {
        NeedMore, // nothing complete is buffered
        Reply,    // reply() holds the next reply
        Line,     // line() holds the next line of a block handed out line by line
        BlockEnd, // the "." line of that block has arrived
        Overflow, // a reply or line grew past the ceiling; the reader takes no more data
    };

    explicit ReplyReader(qsizetype ceiling = kDefaultCeiling);

    // The next reply not yet expected answers a command whose block comes with status
    // code multiLineCode (0: never a block).
    void expect(int multiLineCode = 0, Delivery delivery = Delivery::WholeBlock,
                NntpCommand command = NntpCommand::Other);
    // Same, for the command line as it was sent.
    void expectReplyTo(QByteArrayView commandLine, Delivery delivery = Delivery::WholeBlock);
    // The status code that opens a block after this command line, 0 when none does.
    static int multiLineCodeFor(QByteArrayView commandLine);
    qsizetype expectedCount() const { return qsizetype(m_expected.size()); }

    void feed(QByteArrayView bytes);
    // Reads what the device has straight into the buffer (one copy less than feeding
    // what readAll returns); returns the number of bytes read.
    qint64 readFrom(QIODevice &device);
    Event next();

    // The reply of the last Event::Reply.
    const NntpReply &reply() const { return m_reply; }
    NntpReply takeReply() { return std::move(m_reply); }
    // The line of the last Event::Line, without its line end and still dot-stuffed;
    // valid until the next feed() or reset().
    QByteArrayView line() const { return m_line; }
    // The same line with its line end, byte for byte as received (for writing it on);
    // after Event::BlockEnd, the "." line.
    QByteArrayView lineWithEnd() const { return m_lineWithEnd; }

    bool overflowed() const { return m_state == State::Failed; }
    // A block handed out line by line has begun and its "." line has not yet come.
    bool inLineBlock() const { return m_state == State::LineBlock; }
    // Bytes held that have not been handed out.
    qsizetype buffered() const { return m_buf.size() - m_pos; }
    qsizetype ceiling() const { return m_ceiling; }
    void setCeiling(qsizetype ceiling) { m_ceiling = ceiling; }

    // Forget everything: buffered bytes, expectations, the Overflow state (a new connection).
    void reset();

private:
    enum class State { Status, Block, LineBlock, Failed };
    struct Expectation {
        int multiLineCode;
        Delivery delivery;
        NntpCommand command;
    };

    Event readStatus();
    Event readBlock();
    Event readLine();
    Event fail();
    qsizetype findLineEnd();
    void compact(qsizetype incoming);
    void handOver(qsizetype end);
    void reuseSpare();

    QByteArray m_buf;
    QByteArray m_spare;        // the last block handed out whole, to be reused once free
    qsizetype m_pos = 0;       // first byte not handed out (start of the reply or line)
    qsizetype m_scan = 0;      // where the search for the next LF goes on
    qsizetype m_lineStart = 0; // start of the block line being looked at
    qsizetype m_statusSize = 0;
    NntpCommand m_blockCommand = NntpCommand::None; // the command of the block being read
    State m_state = State::Status;
    qsizetype m_ceiling;
    std::deque<Expectation> m_expected;
    NntpReply m_reply;
    QByteArrayView m_line;
    QByteArrayView m_lineWithEnd;
};

// Parses the three-digit code at the start of a status line; 0 when there is none
// (fewer than three digits, or a fourth character that is neither a blank nor a line end).
int replyCode(QByteArrayView statusLine);

} // namespace kestrel
