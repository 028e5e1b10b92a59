#include "nntp/xover_line.h"

#include <gtest/gtest.h>

namespace kestrel {
namespace {

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
        ASSERT_TRUE(parseXoverLine(c.line, block, number));
        EXPECT_EQ(number, c.number);
        EXPECT_EQ(block, c.block);
    }
    QByteArrayView number;
    EXPECT_FALSE(parseXoverLine(".", block, number));
    EXPECT_FALSE(parseXoverLine("no tab here", block, number));
}

} // namespace
} // namespace kestrel
