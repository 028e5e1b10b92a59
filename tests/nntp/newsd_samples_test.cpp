#include "nntp_test_client.h"

#include "decode/decode_file.h"
#include "decode/yenc_decoder.h"
#include "newsd/article_store.h"
#include "newsd/news_server.h"
#include "newsd/sample_store.h"

#include <gtest/gtest.h>

#include <QSet>

using kestrel::newsd::headerValue;
using kestrel::newsd::MultiPartSample;
using kestrel::newsd::NewsServer;
using kestrel::newsd::PartEncoding;
using kestrel::newsd::SampleKind;
using kestrel::newsd::SampleStore;

namespace {

const QByteArray kGroup = "alt.binaries.pictures.test";

QByteArrayList lines(QByteArrayView text)
{
    QByteArrayList out = text.toByteArray().split('\n');
    if (!out.isEmpty() && out.last().isEmpty())
        out.removeLast();
    for (QByteArray &l : out)
        l.chop(l.endsWith('\r') ? 1 : 0);
    return out;
}

// Walks the JPEG segments: every length must fit, a frame must come before the scan,
// and the file must end with the end-of-image marker.
QString jpegProblem(const QByteArray &jpeg)
{
    if (!jpeg.startsWith("\xFF\xD8\xFF\xE0") || jpeg.indexOf("JFIF") != 6)
        return QStringLiteral("no JFIF start");
    if (!jpeg.endsWith("\xFF\xD9"))
        return QStringLiteral("no end marker");
    if (jpeg.left(6000).toUpper().contains("GIF"))
        return QStringLiteral("GIF in the first bytes");
    bool frame = false;
    for (qsizetype pos = 2; pos + 4 <= jpeg.size();) {
        if (static_cast<unsigned char>(jpeg[pos]) != 0xFF)
            return QStringLiteral("no marker at %1").arg(pos);
        const int code = static_cast<unsigned char>(jpeg[pos + 1]);
        const int length =
            (static_cast<unsigned char>(jpeg[pos + 2]) << 8) | static_cast<unsigned char>(jpeg[pos + 3]);
        if (code == 0xC0)
            frame = true;
        if (code == 0xDA)
            return frame ? QString() : QStringLiteral("scan before frame");
        pos += 2 + length;
    }
    return QStringLiteral("no scan");
}

} // namespace

// Kestrel's own decoders, checked elsewhere against foreign encoders, read the bodies;
// the yEnc decoder checks the crc32= too.
TEST(SampleStore, BodiesDecodeToValidPicturesWithMatchingChecksums)
{
    SampleStore store({{kGroup, 1, 120}});
    QSet<SampleKind> kinds;
    for (qint64 n = 1; n <= 120; ++n) {
        const SampleKind kind = store.kindOf(kGroup, n);
        kinds.insert(kind);
        const QByteArray body = store.body(kGroup, n);
        const QByteArray picture = store.pictureOf(kGroup, n);
        if (kind == SampleKind::TextPost) {
            EXPECT_TRUE(picture.isEmpty());
            continue;
        }
        const kestrel::DecodeOutcome out =
            kestrel::decodeArticleText("Subject: x\r\n\r\n" + body, QStringLiteral("x"), {});
        ASSERT_TRUE(out.ok) << n << " " << out.message.toStdString();
        EXPECT_EQ(out.encoding,
                  kind == SampleKind::YencPicture ? kestrel::Encoding::Yenc : kestrel::Encoding::Uuencode);
        ASSERT_EQ(out.file.bytes, picture) << n;
        EXPECT_EQ(out.name, store.fileNameOf(kGroup, n)) << n;
        EXPECT_EQ(jpegProblem(picture), QString()) << n;
        if (kind == SampleKind::YencPicture) {
            EXPECT_TRUE(lines(body).first().contains(" size=" + QByteArray::number(picture.size()) + ' '))
                << n;
        }
    }
    EXPECT_EQ(kinds.size(), 3);
}

TEST(SampleStore, HeadersAndOverviewAgreeWithTheArticle)
{
    for (const bool multiPart : {false, true}) {
        SCOPED_TRACE(multiPart ? "with multi-part posts" : "single-part posts");
        SampleStore store({{kGroup, 500, 700}, {"alt.other", 1, 10}}, 9);
        store.setMultiPart(multiPart);
        QSet<QByteArray> ids;
        int crossposted = 0;
        for (qint64 n = 500; n <= 700; ++n) {
            const QByteArray article = store.article(kGroup, n);
            const QByteArray head = store.head(kGroup, n);
            ASSERT_TRUE(article.startsWith(head + "\r\n"));
            const QByteArrayList fields = store.overviewFields(kGroup, n).split('\t');
            ASSERT_EQ(fields.size(), 8) << n;
            EXPECT_EQ(fields[0], headerValue(head, "Subject"));
            EXPECT_EQ(fields[1], headerValue(head, "From"));
            EXPECT_EQ(fields[2], headerValue(head, "Date"));
            EXPECT_EQ(fields[3], headerValue(head, "Message-ID"));
            EXPECT_EQ(fields[5].toLongLong(), article.size());
            EXPECT_EQ(fields[6], headerValue(head, "Lines"));
            EXPECT_EQ(fields[6].toLongLong(), lines(store.body(kGroup, n)).size());
            EXPECT_EQ(fields[7], "Xref: " + headerValue(head, "Xref"));
            const qsizetype groups = headerValue(head, "Newsgroups").count(',') + 1;
            EXPECT_EQ(fields[7].count(':'), groups + 1) << n;
            crossposted += groups > 1;
            EXPECT_FALSE(headerValue(head, "NNTP-Posting-Host").isEmpty());
            EXPECT_FALSE(headerValue(head, "Organization").isEmpty());
            if (store.kindOf(kGroup, n) == SampleKind::YencPicture) {
                EXPECT_TRUE(fields[0].endsWith('"' + store.fileNameOf(kGroup, n) + "\" yEnc (1/1)"))
                    << fields[0].constData();
            }
            ids.insert(fields[3]);
        }
        EXPECT_EQ(ids.size(), 201);
        EXPECT_GT(crossposted, 0);
        EXPECT_EQ(store.article(kGroup, 701), QByteArray());
        EXPECT_EQ(SampleStore({{kGroup, 500, 700}}, 9).article(kGroup, 600), store.article(kGroup, 600));
        EXPECT_NE(SampleStore({{kGroup, 500, 700}}, 10).article(kGroup, 600), store.article(kGroup, 600));
    }
}

TEST(SampleStore, GapsAndRenumbering)
{
    SampleStore store({{kGroup, 1, 20, 5}});
    EXPECT_EQ(store.groups().value(0).count, 16);
    EXPECT_FALSE(store.has(kGroup, 10));
    EXPECT_EQ(store.nextAfter(kGroup, 9), 11);
    EXPECT_EQ(store.nextAfter(kGroup, 19), std::nullopt); // 20 is a gap
    ASSERT_TRUE(store.setRange(kGroup, 1, 3));
    EXPECT_EQ(store.groups().value(0).last, 3);
    EXPECT_FALSE(store.has(kGroup, 4));
}

TEST(SampleStore, MillionArticleGroupServedWithoutHoldingIt)
{
    NewsServer server(
        std::make_shared<SampleStore>(QList<kestrel::newsd::SampleGroup>{{kGroup, 1, 1000000}}));
    ASSERT_TRUE(server.listen());
    kestrel::test::NntpTestClient client(server.port());
    ASSERT_TRUE(client.read());
    EXPECT_EQ(client.status("GROUP " + kGroup), "211 1000000 1 1000000 " + kGroup);
    const auto over = client.command("XOVER 999996-");
    ASSERT_TRUE(over);
    const QByteArrayList got = lines(over->block());
    ASSERT_EQ(got.size(), 5);
    EXPECT_TRUE(got[0].startsWith("999996\t"));
    EXPECT_TRUE(got[4].startsWith("1000000\t"));
    EXPECT_EQ(client.status("HEAD 1000000").left(12), "221 1000000 ");
}

namespace {

// The parts decoded one by one by Kestrel's decoders and put together as a reader
// would: yEnc at each part's offset, uuencode as one text in part order.
QByteArray assembled(const SampleStore &store, const MultiPartSample &sample)
{
    QByteArray out;
    if (sample.encoding == PartEncoding::Uuencode) {
        QByteArray text = "Subject: x\r\n\r\n";
        for (const qint64 number : sample.partNumbers)
            text += store.body(kGroup, number);
        const kestrel::DecodeOutcome decoded = kestrel::decodeArticleText(text, QStringLiteral("x"), {});
        EXPECT_TRUE(decoded.ok) << decoded.message.toStdString();
        EXPECT_EQ(decoded.name, sample.fileName);
        return decoded.file.bytes;
    }
    for (const qint64 number : sample.partNumbers) {
        kestrel::DecodedFile part;
        const QString error = kestrel::yEncDecodeText("Subject: x\r\n\r\n" + store.body(kGroup, number),
                                                      QStringLiteral("x"), {}, part);
        EXPECT_EQ(error, QString()) << number;
        EXPECT_FALSE(part.replaceWhole) << number;
        EXPECT_EQ(part.position, out.size()) << number;
        out += part.bytes;
    }
    return out;
}

} // namespace

// Gaps move a part to the next number; the numbers left over keep the posts they had
// without multi-part pictures.
TEST(SampleStore, MultiPartPicturesAssembleFromTheirParts)
{
    for (const qint64 gapEvery : {0, 2, 5}) {
        SCOPED_TRACE(testing::Message() << "gap every " << gapEvery);
        SampleStore store({{kGroup, 1, 60, gapEvery}}, 3);
        const SampleStore plain({{kGroup, 1, 60, gapEvery}}, 3);
        EXPECT_TRUE(store.multiPartSamples(kGroup).isEmpty());
        store.setMultiPart(true);
        const QList<MultiPartSample> samples = store.multiPartSamples(kGroup);
        ASSERT_EQ(samples.size(), 4);
        QSet<qint64> taken;
        int uuencoded = 0;
        int outOfOrder = 0;
        for (const MultiPartSample &sample : samples) {
            SCOPED_TRACE(sample.fileName.constData());
            const qsizetype total = sample.partNumbers.size();
            EXPECT_TRUE(total >= 2 && total <= 8) << total;
            uuencoded += sample.encoding == PartEncoding::Uuencode;
            outOfOrder += !std::is_sorted(sample.partNumbers.begin(), sample.partNumbers.end());
            for (qsizetype k = 1; k <= total; ++k) {
                const qint64 number = sample.partNumbers[k - 1];
                EXPECT_TRUE(store.has(kGroup, number)) << number;
                EXPECT_FALSE(taken.contains(number)) << number;
                taken.insert(number);
                EXPECT_EQ(store.kindOf(kGroup, number), sample.encoding == PartEncoding::Yenc
                                                            ? SampleKind::YencPart
                                                            : SampleKind::UuencodedPart);
                EXPECT_EQ(store.fileNameOf(kGroup, number), sample.fileName);
                const QByteArray head = store.head(kGroup, number);
                const QByteArray counter =
                    " (" + QByteArray::number(k) + '/' + QByteArray::number(total) + ')';
                const QByteArray quoted = sample.encoding == PartEncoding::Yenc
                                              ? '"' + sample.fileName + "\" yEnc"
                                              : sample.fileName;
                EXPECT_TRUE(headerValue(head, "Subject").endsWith(quoted + counter)) << head.constData();
                const qint64 lineCount = headerValue(head, "Lines").toLongLong();
                EXPECT_TRUE(lineCount >= 100 && lineCount <= 4000) << lineCount;
            }
            const QByteArray picture = store.pictureOf(kGroup, sample.partNumbers.first());
            EXPECT_TRUE(picture.size() >= 300'000 && picture.size() <= 3'000'000) << picture.size();
            EXPECT_EQ(jpegProblem(picture), QString());
            EXPECT_TRUE(assembled(store, sample) == picture);
        }
        EXPECT_EQ(uuencoded, 1);
        EXPECT_GE(outOfOrder, 2);
        for (qint64 n = 1; n <= 60; ++n) {
            if (!taken.contains(n)) {
                EXPECT_EQ(store.article(kGroup, n), plain.article(kGroup, n)) << n;
            }
        }
    }
}
