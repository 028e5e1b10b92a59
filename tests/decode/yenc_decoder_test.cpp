#include "codecs_test_support.h"
#include "decode/yenc_decoder.h"
#include "decode/yenc_kernel.h"
#include "support/temp_program_folder.h"

#include <gtest/gtest.h>

using namespace kestrel;
using kestrel::test::DecodeLogRecorder;
using kestrel::test::TempProgramFolder;

namespace {

QByteArray singlePart(const QByteArray &body, const QByteArray &trailer = "=yend size=3")
{
    return "=ybegin line=128 size=3 name=a.jpg\r\n" + body + "\r\n" + trailer + "\r\n";
}

QString decodeInMemory(const QByteArray &text, DecodedFile &out, DecodeLogRecorder *rec = nullptr)
{
    DecodeLogRecorder local;
    DecodeLogRecorder &r = rec ? *rec : local;
    return yEncDecodeText(text, QStringLiteral("/d/a.jpg"), r.hooks(), out);
}

// The plain byte-by-byte rule, to check the fast kernels against.
QByteArray naiveDecode(const QByteArray &in, bool &escaped)
{
    QByteArray out;
    for (char ch : in) {
        const auto c = static_cast<unsigned char>(ch);
        if (escaped) {
            out.append(static_cast<char>(c - 106));
            escaped = false;
        } else if (c == '=') {
            escaped = true;
        } else if (c != '\r' && c != '\n') {
            out.append(static_cast<char>(c - 42));
        }
    }
    return out;
}

// Encoded-looking text dense in the characters that matter: escapes (also "==" and
// "=\r"), CR, LF, bytes around 42.
QByteArray trickyText(std::size_t n, std::uint32_t seed)
{
    static const char special[] = {'=', '\r', '\n', '=', 42, 41, 106, 0, '\xFF', '}', '@'};
    std::mt19937 rng(seed);
    QByteArray b(static_cast<qsizetype>(n), Qt::Uninitialized);
    for (auto &c : b)
        c = rng() % 4 == 0 ? special[rng() % sizeof special] : static_cast<char>(rng() & 0xFF);
    return b;
}

} // namespace

TEST(YencDecode, DecodesCharacterValues)
{
    struct Case {
        const char *body;
        QByteArray expected;
    } cases[] = {
        {"*", QByteArray(1, '\0')},               // 42 -> 0
        {")", QByteArray(1, '\xFF')},             // 41 -> 255
        {"=}", QByteArray(1, '\x13')},            // escaped 125 -> 19
        {"=@", QByteArray(1, '\xD6')},            // escaped 64 -> 214
        {"\r\n*\r\n+", QByteArray("\0\1", 2)},    // line breaks give nothing, also first
        {"*=\r\n=yend", QByteArray("\0\xA3", 2)}, // '=' before CR escapes the CR
        {"", {}},                                 // line breaks alone: an empty file
        {"\r\n", {}},
        {"\n\n\n", {}},
    };
    for (const Case &c : cases) {
        DecodedFile out;
        out.bytes = "stale";
        const QByteArray text = QByteArray("=ybegin name=x\r\n") + c.body +
                                (QByteArray(c.body).contains("=yend") ? "" : "\r\n=yend\r\n");
        EXPECT_EQ(decodeInMemory(text, out), QString()) << c.body;
        EXPECT_EQ(out.bytes, c.expected) << c.body;
    }
}

// A single part replaces an older, longer file of the same name. The parts of a picture
// carry the crc32= of the whole file: only their pcrc32= may be checked.
TEST(YencDecode, SinglePartWritesFromStartPartsAssembleInAnyOrderWithGapFiller)
{
    TempProgramFolder dir;
    dir.write(QStringLiteral("a.jpg"), QByteArray(5000, 'x'));
    DecodeLogRecorder rec;
    const QString dest = dir.file(QStringLiteral("a.jpg"));
    ASSERT_TRUE(yEncCheckText(singlePart("+,-"), rec.hooks()));
    EXPECT_EQ(yEncDecodeToFile(singlePart("+,-"), dest, rec.hooks()), QString());
    EXPECT_EQ(dir.read(QStringLiteral("a.jpg")), QByteArray("\1\2\3"));
    EXPECT_EQ(rec.logged, QStringList({QStringLiteral("yEnc Internal Decoder: yEnc Encoding detected..."),
                                       QStringLiteral("yDecoding (") + dest + QStringLiteral(") part: ")}));
    EXPECT_EQ(rec.status, QStringList(QStringLiteral("yEnc Internal Decoder: loading...")));

    const QByteArray file = test::randomBytes(3000, 7);
    auto part = [&](int n, qint64 begin, qint64 end) { return test::yencArticle({file, begin, end, n}); };
    const QString parts = dir.file(QStringLiteral("p.jpg"));
    // Part 2 first: 1,000 filler bytes, then its data from position 1001.
    ASSERT_EQ(yEncDecodeToFile(part(2, 1001, 2000), parts, rec.hooks()), QString());
    EXPECT_EQ(dir.read(QStringLiteral("p.jpg")), QByteArray(1000, GapFiller) + file.mid(1000, 1000));
    EXPECT_TRUE(rec.logged.contains(QStringLiteral("yDecoding (") + parts + QStringLiteral(") part: 2")));
    // The same part again changes nothing: overwritten in place, no new filler.
    ASSERT_EQ(yEncDecodeToFile(part(2, 1001, 2000), parts, rec.hooks()), QString());
    EXPECT_EQ(dir.read(QStringLiteral("p.jpg")).size(), 2000);
    ASSERT_EQ(yEncDecodeToFile(part(3, 2001, 3000), parts, rec.hooks()), QString());
    ASSERT_EQ(yEncDecodeToFile(part(1, 1, 1000), parts, rec.hooks()), QString());
    EXPECT_EQ(dir.read(QStringLiteral("p.jpg")), file);
}

TEST(YencDecode, DetectionWindowIsSixtyThousandBytes)
{
    const QByteArray tail = "=ybegin name=x\r\n+\r\n=yend\r\n";
    struct Case {
        qsizetype padding;
        bool detected;
    } cases[] = {
        {YencDetectionWindow - 8, true},  // "=ybegin " ends exactly at byte 60,000
        {YencDetectionWindow - 7, false}, // its blank is byte 60,001
        {YencDetectionWindow + 100, false},
    };
    for (const Case &c : cases) {
        const QByteArray text = QByteArray(c.padding, 'a') + tail;
        DecodedFile out;
        EXPECT_EQ(yEncCheckText(text, DecodeHooks{}), c.detected) << c.padding;
        EXPECT_EQ(decodeInMemory(text, out) == QStringLiteral("yEnc decoder: no =ybegin"), !c.detected)
            << c.padding;
    }
}

TEST(YencDecode, BadInputFailsWithoutCrashing)
{
    const QByteArray twoParts = "=ybegin part=1 line=128 size=6 name=a\r\n=ypart begin=1 end=3\r\n+,-\r\n";
    struct Case {
        const char *what;
        QByteArray text;
        const char *reasonPart;
    } cases[] = {
        {"truncated, no =yend", "=ybegin line=128 size=3 name=a\r\n+,-\r\n", "no =yend"},
        {"=ybegin without line end", "=ybegin line=128 size=3 name=a", "no line end"},
        {"escape at the very end", "=ybegin name=a\r\n+,=", "no =yend"},
        {"escape at the end of the data", "=ybegin name=a\n+,=\n=yend\n", "escape character at the end"},
        {"empty data region", "=ybegin name=a\r\n=yend\r\n", "empty data region"},
        {"begin far beyond", "=ybegin part=9 name=a\r\n=ypart begin=999999999999 end=3\r\n+\r\n=yend\r\n",
         "begin= lies beyond"},
        {"part ending past 100 MiB",
         "=ybegin part=9 name=a\r\n=ypart begin=104857600 end=104857601\r\n+,\r\n=yend\r\n",
         "larger than 100 MiB"},
        {"crc32 of a single part wrong", singlePart("+,-", "=yend size=3 crc32=12345678"), "CRC32 mismatch"},
        {"pcrc32 of a part wrong", twoParts + "=yend size=3 part=1 pcrc32=0badf00d\r\n", "CRC32 mismatch"},
    };
    for (const Case &c : cases) {
        DecodedFile out;
        const QString r = decodeInMemory(c.text, out);
        EXPECT_TRUE(r.startsWith(QStringLiteral("yEnc decoder Error:"))) << c.what << ": " << r.toStdString();
        EXPECT_TRUE(r.contains(QLatin1String(c.reasonPart))) << c.what << ": " << r.toStdString();
        EXPECT_TRUE(out.bytes.isEmpty()) << c.what;
    }
}

// A part of a picture in several articles may lie beyond the 64 MiB a single article
// may fill, up to the 100 MiB of the largest picture assembled.
TEST(YencDecode, PartsReachUpToTheLargestPicture)
{
    const qint64 begin = 80LL << 20;
    const QByteArray part = "=ybegin part=2 total=2 name=a\r\n=ypart begin=" + QByteArray::number(begin) +
                            " end=" + QByteArray::number(begin + 1) + "\r\n+,\r\n=yend size=2 part=2\r\n";
    DecodedFile out;
    EXPECT_EQ(decodeInMemory(part, out), QString());
    EXPECT_EQ(out.position, begin - 1);
    EXPECT_EQ(out.bytes, QByteArray("\x01\x02", 2));
}

TEST(YencDecode, RoundTripsRandomFilesThroughAnIndependentEncoder)
{
    const std::size_t sizes[] = {1, 2, 127, 128, 129, 4096, 65537, 300000};
    const int lineLengths[] = {1, 2, 61, 128, 997};
    std::uint32_t seed = 1;
    for (std::size_t size : sizes) {
        for (int line : lineLengths) {
            test::YencPost post{test::randomBytes(size, seed++)};
            post.lineLength = line;
            DecodedFile out;
            DecodeLogRecorder rec;
            ASSERT_EQ(decodeInMemory(test::yencArticle(post), out, &rec), QString()) << size << "/" << line;
            ASSERT_EQ(out.bytes, post.data) << size << "/" << line;
            ASSERT_FALSE(rec.progress.empty());
            EXPECT_EQ(rec.progress.back().first, rec.progress.back().second);
        }
    }
}

// Each kernel, at every alignment and with an escape carried in or not, decodes as the
// plain rule does and hands on the same escape state: so a text may be split anywhere.
TEST(YencKernel, EveryKernelMatchesThePlainRuleAtEveryAlignment)
{
    const QByteArray text = trickyText(4096, 11);
    for (yenc::Kernel k : {yenc::Kernel::Portable, yenc::Kernel::Ssse3, yenc::Kernel::Avx2}) {
        if (!yenc::kernelSupported(k))
            continue;
        const yenc::KernelFn fn = yenc::kernelFunction(k);
        for (qsizetype offset = 0; offset < 64; ++offset) {
            for (qsizetype length : {qsizetype(0), qsizetype(1), qsizetype(31), qsizetype(33), qsizetype(100),
                                     text.size() - offset}) {
                const QByteArray in = text.mid(offset, length);
                for (bool escapedIn : {false, true}) {
                    bool refEsc = escapedIn, esc = escapedIn;
                    const QByteArray expected = naiveDecode(in, refEsc);
                    QByteArray got(in.size(), '\0');
                    got.truncate(
                        static_cast<qsizetype>(fn(reinterpret_cast<const std::uint8_t *>(in.constData()),
                                                  static_cast<std::size_t>(in.size()),
                                                  reinterpret_cast<std::uint8_t *>(got.data()), esc)));
                    ASSERT_EQ(got, expected) << int(k) << " offset " << offset << " length " << length;
                    ASSERT_EQ(esc, refEsc) << int(k) << " offset " << offset << " length " << length;
                }
            }
        }
    }
}
