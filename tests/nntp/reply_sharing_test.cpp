// Replies read together share the reader's memory until they are let go: whatever the
// taker or the reader writes afterwards must change nothing in any other reply.
#include "nntp/reply_reader.h"

#include <QByteArrayList>
#include <QList>
#include <gtest/gtest.h>

using namespace kestrel;
using Event = ReplyReader::Event;

namespace {

QByteArray article(int n)
{
    QByteArray body;
    for (int line = 0; line < 50 + 10 * n; ++line)
        body += QByteArray(70, char('a' + (n + line) % 26)) + "\r\n";
    return "222 " + QByteArray::number(n) + " <" + QByteArray::number(n) + "@h>\r\n" + body + ".\r\n";
}

} // namespace

TEST(ReplySharing, WritesToOneReplyOrToTheReaderLeaveTheOthersIntact)
{
    const QByteArrayList replies{article(1), article(2), article(3), article(4), article(5)};
    const QByteArray wire = replies.join();
    // Where the reads end: all at once, the last reply's start with the first ones, and
    // pieces that cut every reply.
    const QList<qsizetype> cuts[] = {
        {wire.size()},
        {replies[0].size() + replies[1].size() + replies[2].size() + 20, wire.size()},
        {3000, 7000, 11000, 15000, 19000, 23000, wire.size()},
    };
    for (const QList<qsizetype> &ends : cuts) {
        SCOPED_TRACE(testing::Message() << ends.size() << " reads");
        ReplyReader reader;
        for (int n = 1; n <= 5; ++n)
            reader.expectReplyTo("BODY " + QByteArray::number(n));
        reader.expectReplyTo("XOVER 1-2", ReplyReader::Delivery::Lines);
        QByteArrayList got;
        QByteArrayList kept; // untouched, so the reader's memory stays shared meanwhile
        qsizetype at = 0;
        for (const qsizetype end : ends) {
            reader.feed(QByteArrayView(wire).sliced(at, end - at));
            at = end;
            for (Event e = reader.next(); e == Event::Reply; e = reader.next()) {
                kept.append(reader.takeReply().raw);
                got.append(kept.last());
                // The taker writes into what it was handed, as a caller may.
                got.last().append("tail");
                got.last()[0] = 'X';
            }
        }
        EXPECT_EQ(kept, replies);
        ASSERT_EQ(got.size(), replies.size());
        for (qsizetype i = 0; i < got.size(); ++i)
            EXPECT_EQ(got[i], 'X' + replies[i].mid(1) + "tail") << "reply " << i;

        // Lines handed out one by one come from the reader's memory as well.
        reader.feed("224 overview\r\n1\tline\r\n");
        reader.feed("2\tline\r\n.\r\n");
        ASSERT_EQ(reader.next(), Event::Reply);
        EXPECT_EQ(reader.takeReply().raw, "224 overview\r\n");
        ASSERT_EQ(reader.next(), Event::Line);
        EXPECT_EQ(reader.line(), "1\tline");
        ASSERT_EQ(reader.next(), Event::Line);
        EXPECT_EQ(reader.line(), "2\tline");
        EXPECT_EQ(reader.next(), Event::BlockEnd);
        EXPECT_EQ(reader.buffered(), 0);
        EXPECT_EQ(kept, replies);
    }
}
