#include "newsd/binary_encoders.h"
#include "newsd/multipart_posts.h"

#include <gtest/gtest.h>

#include <QSet>

#include <zlib.h>

using kestrel::newsd::multiPartArticle;
using kestrel::newsd::multiPartPosts;
using kestrel::newsd::PartEncoding;
using kestrel::newsd::PartPost;

namespace {

// Every byte value, so each part meets the bytes yEnc escapes.
QByteArray sampleData(qsizetype size)
{
    QByteArray out(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        out[i] = char((i * 37 + 11) & 0xFF);
    return out;
}

quint32 zlibCrc(QByteArrayView data)
{
    return quint32(crc32(0L, reinterpret_cast<const Bytef *>(data.data()), uInt(data.size())));
}

QByteArrayList crLfLines(const QByteArray &body)
{
    EXPECT_TRUE(body.endsWith("\r\n"));
    QByteArrayList out = body.split('\n');
    out.removeLast();
    for (QByteArray &line : out) {
        EXPECT_TRUE(line.endsWith('\r'));
        line.chop(1);
    }
    return out;
}

// The value of "key=" in a yEnc keyword line.
QByteArray keyword(const QByteArray &line, const QByteArray &key)
{
    for (const QByteArray &word : line.split(' ')) {
        if (word.startsWith(key + '='))
            return word.mid(key.size() + 1);
    }
    return {};
}

void expectCrc(const QByteArray &hex, QByteArrayView data)
{
    bool ok = false;
    EXPECT_EQ(hex.size(), 8) << hex.constData();
    EXPECT_EQ(hex.toUInt(&ok, 16), zlibCrc(data)) << hex.constData();
    EXPECT_TRUE(ok);
}

struct Split {
    qsizetype size;
    int total;
};

const Split kSplits[] = {{2, 2}, {7, 7}, {64, 64}, {3, 2}, {1000, 7}, {130000, 7}, {20000, 64}, {5, 1}};

} // namespace

TEST(MultiPartPosts, YencPartsTileTheFileWithRightChecksums)
{
    const QByteArray name = "sea view.jpg";
    for (const Split &split : kSplits) {
        SCOPED_TRACE(testing::Message() << split.size << " bytes in " << split.total);
        const QByteArray data = sampleData(split.size);
        const QList<PartPost> parts = multiPartPosts(data, name, split.total, PartEncoding::Yenc, "set 3 - ");
        ASSERT_EQ(parts.size(), split.total);
        qsizetype next = 1;
        for (int k = 1; k <= split.total; ++k) {
            const PartPost &part = parts[k - 1];
            const QByteArray counter = QByteArray::number(k) + '/' + QByteArray::number(split.total);
            EXPECT_EQ(part.number, k);
            EXPECT_EQ(part.total, split.total);
            EXPECT_EQ(part.subject, "set 3 - \"sea view.jpg\" yEnc (" + counter + ')');
            const QByteArrayList lines = crLfLines(part.body);
            ASSERT_GE(lines.size(), 4);
            EXPECT_EQ(part.lines, lines.size());
            EXPECT_EQ(lines[0],
                      "=ybegin part=" + QByteArray::number(k) + " total=" + QByteArray::number(split.total) +
                          " line=128 size=" + QByteArray::number(split.size) + " name=sea view.jpg");
            ASSERT_TRUE(lines[1].startsWith("=ypart "));
            const qsizetype begin = keyword(lines[1], "begin").toLongLong();
            const qsizetype end = keyword(lines[1], "end").toLongLong();
            EXPECT_EQ(begin, next);
            ASSERT_GE(end, begin);
            EXPECT_LE(end - begin + 1, split.size / split.total + 1);
            EXPECT_GE(end - begin + 1, split.size / split.total);
            const QByteArray slice = data.mid(begin - 1, end - begin + 1);
            const QByteArray dataLines =
                part.body.mid(lines[0].size() + lines[1].size() + 4,
                              part.body.size() - lines[0].size() - lines[1].size() - lines.last().size() - 6);
            EXPECT_EQ(dataLines, kestrel::newsd::yencLines(slice));
            const QByteArray &trailer = lines.last();
            ASSERT_TRUE(trailer.startsWith("=yend "));
            EXPECT_EQ(keyword(trailer, "size"), QByteArray::number(slice.size()));
            EXPECT_EQ(keyword(trailer, "part"), QByteArray::number(k));
            expectCrc(keyword(trailer, "pcrc32"), slice);
            expectCrc(keyword(trailer, "crc32"), data);
            next = end + 1;
        }
        EXPECT_EQ(next, split.size + 1);
    }
}

TEST(MultiPartPosts, UuencodedPartsJoinIntoOneWholeFile)
{
    // Sizes counted in 45-byte lines; a short last line too.
    const Split splits[] = {{90, 2}, {45 * 6 + 1, 7}, {45 * 64, 64}, {10000, 7}, {45 * 9, 2}, {100, 1}};
    for (const Split &split : splits) {
        SCOPED_TRACE(testing::Message() << split.size << " bytes in " << split.total);
        const QByteArray data = sampleData(split.size);
        const QList<PartPost> parts = multiPartPosts(data, "pier.jpg", split.total, PartEncoding::Uuencode);
        ASSERT_EQ(parts.size(), split.total);
        const qsizetype lineCount = (split.size + 44) / 45;
        QByteArray joined;
        for (int k = 1; k <= split.total; ++k) {
            const PartPost &part = parts[k - 1];
            EXPECT_EQ(part.number, k);
            EXPECT_EQ(part.total, split.total);
            EXPECT_EQ(part.subject,
                      "pier.jpg (" + QByteArray::number(k) + '/' + QByteArray::number(split.total) + ')');
            const QByteArrayList lines = crLfLines(part.body);
            EXPECT_EQ(part.lines, lines.size());
            const qsizetype dataLines = lines.size() - (k == 1 ? 1 : 0) - (k == split.total ? 2 : 0);
            EXPECT_LE(dataLines, lineCount / split.total + 1);
            EXPECT_GE(dataLines, std::max<qsizetype>(1, lineCount / split.total));
            joined += part.body;
        }
        EXPECT_EQ(joined, "begin 644 pier.jpg\r\n" + kestrel::newsd::uuencodeLines(data) + "`\r\nend\r\n");
    }
}

TEST(MultiPartPosts, TooLittleDataForThePartsGivesNone)
{
    EXPECT_TRUE(multiPartPosts(sampleData(1), "a.jpg", 2, PartEncoding::Yenc).isEmpty());
    EXPECT_TRUE(multiPartPosts(sampleData(90), "a.jpg", 3, PartEncoding::Uuencode).isEmpty());
    EXPECT_TRUE(multiPartPosts(sampleData(90), "a.jpg", 0, PartEncoding::Yenc).isEmpty());
}

TEST(MultiPartPosts, ArticlesCarryTheHeadersAndAnIdPerPart)
{
    const QList<PartPost> parts = multiPartPosts(sampleData(500), "a.jpg", 3, PartEncoding::Yenc);
    ASSERT_EQ(parts.size(), 3);
    QSet<QByteArray> ids;
    for (const PartPost &part : parts) {
        const QByteArray article = multiPartArticle(part, "alt.binaries.test", "Ann <ann@example.com>");
        const qsizetype split = article.indexOf("\r\n\r\n");
        ASSERT_GT(split, 0);
        EXPECT_EQ(article.mid(split + 4), part.body);
        const QByteArrayList head = article.left(split).split('\n');
        ASSERT_EQ(head.size(), 6);
        EXPECT_EQ(head[0], "From: Ann <ann@example.com>\r");
        EXPECT_EQ(head[1], "Subject: " + part.subject + '\r');
        EXPECT_EQ(head[2], "Newsgroups: alt.binaries.test\r");
        EXPECT_TRUE(head[3].startsWith("Date: "));
        EXPECT_TRUE(head[4].startsWith("Message-ID: <") && head[4].endsWith(">\r"));
        EXPECT_EQ(head[5], "Lines: " + QByteArray::number(part.lines));
        ids.insert(head[4]);
    }
    EXPECT_EQ(ids.size(), 3);
}
