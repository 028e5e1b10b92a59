#include "nntp/reply_reader.h"
#include "nntp/xover_line.h"

#include <gtest/gtest.h>

#include <QByteArrayList>

#include <vector>

using kestrel::NntpReply;
using kestrel::ReplyReader;
using Event = ReplyReader::Event;

namespace {

// A session as it goes over the wire: each command with the reply bytes it gets.
struct Exchange {
    QByteArray command; // empty: the greeting
    QByteArray reply;
};

const std::vector<Exchange> &session()
{
    static const std::vector<Exchange> s = {
        {"", "200 news.example ready\r\n"},
        {"MODE READER", "200 reader\r\n"},
        {"GROUP alt.pics", "211 3 10 12 alt.pics\r\n"},
        {"XOVER 10-12", "224 overview\r\n10\tA \"a.jpg\" (1/1)\tx@y\td\t<1@h>\t\t900\t12\r\n"
                        "11\tB\tx@y\td\t<2@h>\t\t800\t11\r\n.\r\n"},
        {"XOVER 13-20", "423 No articles in that range\r\n"},
        {"HEAD 10", "221 10 <1@h>\r\nSubject: A\r\nFrom: x@y\r\n.\r\n"},
        {"ARTICLE  11", "220 11 <2@h>\r\nSubject: B\r\n\r\n..starts with a dot\r\n..\r\n"
                        "=ybegin line=128 size=3\r\n.x\r\nend.\r\n.\r\n"},
        {"BODY 12", "430 No such article\r\n"},
        {"LIST", "215 groups\r\nalt.pics 12 10 y\r\n.\r\n"},
        {"XOVER 1-1", "224 overview\r\n.\r\n"},
        {"QUIT", "205 bye\r\n"},
    };
    return s;
}

QByteArray wholeSession()
{
    QByteArray all;
    for (const Exchange &e : session())
        all += e.reply;
    return all;
}

ReplyReader readerForSession(qsizetype ceiling = ReplyReader::kDefaultCeiling)
{
    ReplyReader reader(ceiling);
    // The greeting is expected too, since these commands are all queued before it arrives.
    for (const Exchange &e : session())
        reader.expectReplyTo(e.command);
    return reader;
}

// Replies as std::string, so a failure prints them readably.
std::vector<std::string> drain(ReplyReader &reader)
{
    std::vector<std::string> out;
    for (Event e = reader.next(); e != Event::NeedMore; e = reader.next()) {
        if (e != Event::Reply) {
            out.push_back("<event " + std::to_string(int(e)) + '>');
            break;
        }
        out.push_back(reader.takeReply().raw.toStdString());
    }
    return out;
}

std::vector<std::string> expectedReplies()
{
    std::vector<std::string> out;
    for (const Exchange &e : session())
        out.push_back(e.reply.toStdString());
    return out;
}

} // namespace

// Cut once at every byte position, and past the end: fed a byte at a time.
TEST(ReplyReader, SessionCutAtEveryBytePositionGivesTheSameReplies)
{
    const QByteArray whole = wholeSession();
    const QByteArrayView all = whole;
    for (qsizetype cut = 0; cut <= all.size() + 1; ++cut) {
        const qsizetype at = std::min(cut, all.size());
        QList<QByteArrayView> pieces{all.first(at), all.sliced(at)};
        if (cut > all.size()) {
            pieces.clear();
            for (qsizetype i = 0; i < all.size(); ++i)
                pieces.append(all.sliced(i, 1));
        }
        ReplyReader reader = readerForSession();
        std::vector<std::string> got;
        for (const QByteArrayView piece : pieces) {
            reader.feed(piece);
            for (std::string &r : drain(reader))
                got.push_back(std::move(r));
        }
        ASSERT_EQ(got, expectedReplies()) << "cut at " << cut;
        EXPECT_EQ(reader.buffered(), 0);
    }
}

TEST(ReplyReader, BlockOrSingleLineDependsOnTheCommandSent)
{
    const struct {
        QByteArray command;
        QByteArray bytes; // one reply, then "205 x\r\n"
        bool multiLine;
    } cases[] = {
        {"GROUP a", "211 1 1 1 a\r\n", false},
        {"LISTGROUP a", "211 1 1 1 a\r\n1\r\n.\r\n", true},
        {"list active", "215 x\r\na 1 1 y\r\n.\r\n", true},
        {"xover 1-2", "224 x\r\n1\tS\r\n.\r\n", true},
        {"XOVER 1-2", "420 none\r\n", false},
        {"OVER 1-2", "224 x\r\n1\tS\r\n.\r\n", true},
        {"HEAD", "221 5 <a@b>\r\nA: b\r\n.\r\n", true},
        {"NEXT", "221 5 <a@b>\r\n", false},       // 221 is a block only after HEAD,
        {"HEADER Subject 5", "221 x\r\n", false}, // not after a longer command name
        {"ARTICLE 9", "423 no\r\n", false},
        {"BODY 9", "222 9 <a@b>\r\nx\r\n.\r\n", true},
        {"NEWGROUPS 20260101 000000", "231 x\r\n.\r\n", true},
        {"AUTHINFO USER u", "381 more\r\n", false},
    };
    for (const auto &c : cases) {
        ReplyReader reader;
        reader.expectReplyTo(c.command);
        reader.expectReplyTo("QUIT");
        reader.feed(c.bytes + "205 x\r\n");
        ASSERT_EQ(reader.next(), Event::Reply) << c.command.constData();
        EXPECT_EQ(reader.reply().multiLine, c.multiLine) << c.command.constData();
        EXPECT_EQ(reader.reply().raw, c.bytes) << c.command.constData();
        ASSERT_EQ(reader.next(), Event::Reply) << c.command.constData();
        EXPECT_EQ(reader.reply().code, 205);
        EXPECT_EQ(reader.next(), Event::NeedMore);
    }
}

TEST(ReplyReader, LineEndsAndLinesThatOnlyLookLikeTheEnd)
{
    const struct {
        QByteArray bytes;
        QByteArray block; // what the block holds once complete
    } cases[] = {
        {"220 1\r\na\r\n..\r\n.\r\n", "a\r\n..\r\n"},   // a stuffed dot line
        {"220 1\r\n.a\r\nb.\r\n.\r\n", ".a\r\nb.\r\n"}, // dots that are not alone
        {"220 1\r\nx\r\n . \r\n.\r\n", "x\r\n . \r\n"},
        {"220 1\nx\n.\n", "x\n"}, // bare LF line ends
        {"220 1\r\nx\n.\r\n", "x\n"},
        {"220 1\r\n\r\n\r\n.\r\n", "\r\n\r\n"},
    };
    for (const auto &c : cases) {
        ReplyReader reader;
        reader.expect(220);
        reader.feed(c.bytes.chopped(1));
        ASSERT_EQ(reader.next(), Event::NeedMore) << c.bytes.constData();
        reader.feed(c.bytes.right(1));
        ASSERT_EQ(reader.next(), Event::Reply) << c.bytes.constData();
        EXPECT_EQ(reader.reply().block(), c.block);
        EXPECT_EQ(reader.reply().code, 220);
    }
}

TEST(ReplyReader, LinesAreHandedOutAsTheyArrive)
{
    ReplyReader reader;
    reader.expect(224, ReplyReader::Delivery::Lines);
    reader.expect(0);
    reader.feed("224 overview\r\n1\tA\r\n..2\tB\r\n3\t");
    ASSERT_EQ(reader.next(), Event::Reply);
    EXPECT_TRUE(reader.reply().streamed);
    EXPECT_EQ(reader.reply().raw, "224 overview\r\n");
    ASSERT_EQ(reader.next(), Event::Line);
    EXPECT_EQ(reader.line(), "1\tA");
    ASSERT_EQ(reader.next(), Event::Line);
    EXPECT_EQ(reader.line(), "..2\tB"); // still stuffed
    EXPECT_EQ(reader.lineWithEnd(), "..2\tB\r\n");
    EXPECT_EQ(reader.next(), Event::NeedMore);
    EXPECT_TRUE(reader.inLineBlock());
    reader.feed("C\r\n.");
    ASSERT_EQ(reader.next(), Event::Line);
    EXPECT_EQ(reader.line(), "3\tC");
    EXPECT_EQ(reader.next(), Event::NeedMore);
    reader.feed("\r\n205 bye\r\n");
    EXPECT_EQ(reader.next(), Event::BlockEnd);
    EXPECT_EQ(reader.lineWithEnd(), ".\r\n");
    EXPECT_FALSE(reader.inLineBlock());
    ASSERT_EQ(reader.next(), Event::Reply);
    EXPECT_EQ(reader.reply().code, 205);

    // An error reply where lines were asked for is a single line.
    reader.expect(224, ReplyReader::Delivery::Lines);
    reader.feed("423 none\r\n");
    ASSERT_EQ(reader.next(), Event::Reply);
    EXPECT_FALSE(reader.reply().multiLine);
    EXPECT_FALSE(reader.inLineBlock());
}

TEST(ReplyReader, CeilingTurnsAnOversizedReplyIntoOverflow)
{
    const QByteArray hundred = "220 1\r\n" + QByteArray(88, 'x') + "\r\n.\r\n"; // 100 bytes
    ASSERT_EQ(hundred.size(), 100);
    const struct {
        const char *name;
        int multiLineCode;
        ReplyReader::Delivery delivery;
        QByteArray bytes;
        bool overflow;
    } cases[] = {
        {"reply at the ceiling", 220, ReplyReader::Delivery::WholeBlock, hundred, false},
        {"one byte more", 220, ReplyReader::Delivery::WholeBlock,
         "220 1\r\n" + QByteArray(89, 'x') + "\r\n.\r\n", true},
        {"unfinished and growing", 220, ReplyReader::Delivery::WholeBlock, "220 1\r\n" + QByteArray(200, 'x'),
         true},
        {"status line without end", 0, ReplyReader::Delivery::WholeBlock, QByteArray(101, '2'), true},
        {"long block, short lines", 220, ReplyReader::Delivery::Lines,
         "220 1\r\n" + QByteArray("abc\r\n").repeated(60) + ".\r\n", false},
        {"one line too long", 220, ReplyReader::Delivery::Lines,
         "220 1\r\n" + QByteArray(120, 'y') + "\r\n.\r\n", true},
    };
    for (const auto &c : cases) {
        ReplyReader reader(100);
        reader.expect(c.multiLineCode, c.delivery);
        reader.feed(c.bytes);
        Event last = Event::NeedMore;
        for (Event e = reader.next(); e != Event::NeedMore; e = reader.next()) {
            last = e;
            if (e == Event::Overflow)
                break;
        }
        EXPECT_EQ(last == Event::Overflow, c.overflow) << c.name;
        EXPECT_EQ(reader.overflowed(), c.overflow) << c.name;
        if (c.overflow) {
            reader.feed("205 bye\r\n");
            EXPECT_EQ(reader.next(), Event::Overflow) << c.name;
            EXPECT_EQ(reader.buffered(), 0) << c.name;
            reader.reset();
            reader.feed("205 bye\r\n");
            EXPECT_EQ(reader.next(), Event::Reply) << c.name;
        }
    }
}

// Pipelined articles share the reads: one ends and the next begins in the same piece,
// sometimes after a short reply, sometimes several replies in one piece. Each comes out
// byte for byte. The reader reuses the memory of a block handed out whole once the taker
// has let go of it (dropped); one still held (kept) must never be written over.
TEST(ReplyReader, PipelinedArticlesSharingReadsComeOutWhole)
{
    auto article = [](int n, int lines) {
        QByteArray body;
        for (int line = 0; line < lines; ++line)
            body += QByteArray(60, char('a' + (n + line) % 26)) + "\r\n";
        return "222 " + QByteArray::number(n) + " <" + QByteArray::number(n) + "@h>\r\n" + body + ".\r\n";
    };
    const QByteArrayList replies{article(1, 900), article(2, 3),   "430 No such article\r\n",
                                 article(3, 700), article(4, 900), article(5, 1),
                                 article(6, 800)};
    const QByteArray wire = replies.join();
    auto cut = [](QByteArrayView bytes, qsizetype piece, QList<QByteArrayView> &into) {
        for (qsizetype at = 0; at < bytes.size(); at += piece)
            into.append(bytes.sliced(at, std::min(piece, bytes.size() - at)));
    };
    // 0: each reply read on its own, in pieces of 1460, so the reader is empty between them.
    const qsizetype pieces[] = {0, 1460, 4096, 54321, 100000, wire.size()};
    for (const qsizetype piece : pieces) {
        QList<QByteArrayView> reads;
        if (piece == 0) {
            for (const QByteArray &reply : replies)
                cut(reply, 1460, reads);
        } else {
            cut(wire, piece, reads);
        }
        for (const bool keep : {true, false}) {
            SCOPED_TRACE(testing::Message() << "pieces of " << piece << (keep ? ", kept" : ", dropped"));
            ReplyReader reader;
            for (int n = 1; n <= 7; ++n)
                reader.expectReplyTo("BODY " + QByteArray::number(n));
            QByteArrayList got;
            for (const QByteArrayView read : reads) {
                reader.feed(read);
                for (Event e = reader.next(); e == Event::Reply; e = reader.next()) {
                    NntpReply reply = reader.takeReply();
                    EXPECT_EQ(reply.raw, replies[got.size()]) << "reply " << got.size();
                    got.append(keep ? reply.raw : QByteArray(reply.raw.constData(), reply.raw.size()));
                }
            }
            EXPECT_EQ(got, replies);
            EXPECT_EQ(reader.buffered(), 0);
        }
    }
}

TEST(ReplyReader, StatusLineCodes)
{
    const struct {
        QByteArray line;
        int code;
    } cases[] = {
        {"200 ready\r\n", 200}, {"205\r\n", 205}, {"481", 481}, {"20 x", 0},
        {"2000 x", 0},          {"abc def", 0},   {"", 0},      {" 200 x", 0},
    };
    for (const auto &c : cases)
        EXPECT_EQ(kestrel::replyCode(c.line), c.code) << c.line.constData();

    ReplyReader reader;
    reader.expect(220);
    reader.feed("garbage\r\n220 1\r\n");
    ASSERT_EQ(reader.next(), Event::Reply); // takes the expectation with it
    EXPECT_EQ(reader.reply().code, 0);
    ASSERT_EQ(reader.next(), Event::Reply);
    EXPECT_FALSE(reader.reply().multiLine);
}

// Each reply names the command it answers (whole blocks and single lines alike); the
// greeting, which nothing asked for, answers none.
TEST(ReplyReader, EachReplyTellsTheCommandItAnswers)
{
    using kestrel::NntpCommand;
    ReplyReader reader;
    reader.feed(session().front().reply);
    ASSERT_EQ(reader.next(), Event::Reply);
    EXPECT_EQ(reader.reply().command, NntpCommand::None);
    for (const Exchange &e : session()) {
        if (!e.command.isEmpty())
            reader.expectReplyTo(e.command);
    }
    reader.feed(wholeSession().sliced(session().front().reply.size()));
    const NntpCommand expected[] = {
        NntpCommand::ModeReader, NntpCommand::Group,   NntpCommand::Xover,   NntpCommand::Xover,
        NntpCommand::Head,       NntpCommand::Article, NntpCommand::Article, NntpCommand::Other,
        NntpCommand::Xover,      NntpCommand::Quit,
    };
    ASSERT_EQ(std::size(expected), session().size() - 1);
    std::vector<NntpReply> replies;
    for (const NntpCommand command : expected) {
        ASSERT_EQ(reader.next(), Event::Reply);
        replies.push_back(reader.takeReply());
        EXPECT_EQ(replies.back().command, command) << replies.back().raw.constData();
    }
    EXPECT_EQ(replies[3].code, 423);
    EXPECT_EQ(replies[5].statusLine(), "220 11 <2@h>");
    EXPECT_EQ(replies[5].block(), "Subject: B\r\n\r\n..starts with a dot\r\n..\r\n"
                                  "=ybegin line=128 size=3\r\n.x\r\nend.\r\n");
    EXPECT_EQ(replies[8].block(), "");
    EXPECT_TRUE(replies[8].multiLine);
}

TEST(parseXoverLine, BuildsTheHeaderBlock)
{
    struct Case {
        const char *name;
        QByteArray line;
        QByteArray number;
        QByteArray block;
    };
    const QByteArray head = "Subject: s\r\nFrom: f\r\nDate: d\r\nMessage-ID: <m>\r\nReferences: \r\n";
    const Case cases[] = {
        {"all fields and Xref", "17\ts\tf\td\t<m>\t\t630\t12\tXref: h a.b:17", "17",
         head + "Bytes: 630\r\nLines: 12\r\n\r\nXref: h a.b:17\r\r\n"},
        {"lines last, no trailing TAB", "17\ts\tf\td\t<m>\t\t630\t12", "17",
         head + "Bytes: 630\r\nLines: 12\r\n\r\n\r\r\n"},
        {"no lines, bytes 630", "17\ts\tf\td\t<m>\t\t630\t\t", "17",
         head + "Bytes: 630\r\nLines:  10\r\n\r\n\r\r\n"},
        {"no lines, odd bytes", "5\ts\tf\td\t<m>\t\t640\t", "5",
         head + "Bytes: 640\r\nLines:  10.1587301587302\r\n\r\n\r\r\n"},
        {"neither", "5\ts\tf\td\t<m>\t\t\t", "5", head + "Bytes: \r\nLines:  1000\r\n\r\n\r\r\n"},
        {"cut short", "9\tonly subject", "9",
         "Subject: only subject\r\nFrom: \r\nDate: \r\nMessage-ID: \r\nReferences: \r\nBytes: \r\n"
         "Lines:  1000\r\n\r\n\r\r\n"},
    };
    QByteArray block = "left over";
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QByteArrayView number;
        ASSERT_TRUE(kestrel::parseXoverLine(c.line, block, number));
        EXPECT_EQ(number, c.number);
        EXPECT_EQ(block, c.block);
    }
    QByteArrayView number;
    EXPECT_FALSE(kestrel::parseXoverLine(".", block, number));
    EXPECT_FALSE(kestrel::parseXoverLine("no tab here", block, number));
}
