#include "codecs_test_support.h"
#include "decode/decode_file.h"
#include "decode/unstuff_dots.h"
#include "support/temp_program_folder.h"

#include <gtest/gtest.h>

using namespace kestrel;
using kestrel::test::DecodeLogRecorder;
using kestrel::test::TempProgramFolder;

namespace {

const QByteArray UuAbc = "begin 644 abc.jpg\r\n#86)C\r\n`\r\nend\r\n";

struct FileRun {
    bool ok = false;
    DecodeOutcome outcome;
    QStringList logged;
    QByteArray dest;
    bool destExists = false;
};

FileRun runDecodeFile(const QByteArray *work, const QString &destName = QStringLiteral("dest.jpg"))
{
    TempProgramFolder dir;
    if (work)
        dir.write(QStringLiteral("w.UUE"), *work);
    DecodeLogRecorder rec;
    FileRun run;
    run.ok = decodeFile(dir.file(QStringLiteral("w.UUE")), dir.file(destName), rec.hooks(), &run.outcome);
    run.logged = rec.logged;
    run.destExists = dir.exists(destName);
    if (run.destExists)
        run.dest = dir.read(destName);
    if (work) {
        EXPECT_TRUE(dir.exists(QStringLiteral("w.UUE")));
    }
    return run;
}

} // namespace

TEST(decodeFile, FailuresLogTheirLines)
{
    const QByteArray empty;
    const QByteArray plain = "From: a\r\n\r\nJust words, no picture.\r\n";
    const QByteArray garbage = UuAbc.left(UuAbc.indexOf("`")) + "this line is no uuencode\r\nend\r\n";
    const QByteArray badPadding = "Content-Transfer-Encoding: base64\r\n\r\nQUJD=\r\n";
    const QByteArray yencTruncated = "=ybegin line=128 size=3 name=a\r\n+,-\r\n";
    struct Case {
        const char *what;
        const QByteArray *work;
        QStringList logged;
    } cases[] = {
        {"missing work file", nullptr, {QStringLiteral("decode err (UULoadFile)  1")}},
        {"empty article", &empty, {QStringLiteral("decode err -- uud reports nothing to decode")}},
        {"nothing encoded", &plain, {QStringLiteral("decode err -- uud reports nothing to decode")}},
        {"uuencode garbage line",
         &garbage,
         {QStringLiteral("decode err (uuret: 1  mvret: 0)"),
          QStringLiteral("uuencoded line 2 is not valid (severity: 3)")}},
        {"base64 bad padding",
         &badPadding,
         {QStringLiteral("decode err (uuret: 1  mvret: 0)"),
          QStringLiteral("base64 data has bad padding (severity: 3)")}},
        {"yEnc without trailer",
         &yencTruncated,
         {QStringLiteral("yEnc Internal Decoder: yEnc Encoding detected..."), QStringLiteral("yDecoding (*"),
          QStringLiteral("decode err (yEnc:yEnc decoder Error:no =yend after the header line)")}},
    };
    for (const Case &c : cases) {
        const FileRun run = runDecodeFile(c.work);
        EXPECT_FALSE(run.ok) << c.what;
        EXPECT_FALSE(run.outcome.ok) << c.what;
        ASSERT_EQ(run.logged.size(), c.logged.size())
            << c.what << ": " << run.logged.join(QLatin1Char('|')).toStdString();
        for (qsizetype i = 0; i < c.logged.size(); ++i) { // a final '*' matches any rest
            if (c.logged[i].endsWith(u'*'))
                EXPECT_TRUE(run.logged[i].startsWith(c.logged[i].chopped(1))) << c.what;
            else
                EXPECT_EQ(run.logged[i], c.logged[i]) << c.what;
        }
        EXPECT_EQ(run.outcome.message.isEmpty(), c.work == nullptr || c.work == &empty || c.work == &plain)
            << c.what;
        // Only yEnc creates the destination before it knows the data is sound.
        EXPECT_EQ(run.destExists, c.work == &yencTruncated) << c.what;
    }
}

TEST(decodeFile, YencInTheWindowWinsOverUuencode)
{
    const QByteArray both = UuAbc + "=ybegin line=128 size=2 name=y.jpg\r\n+,\r\n=yend size=2\r\n";
    const FileRun run = runDecodeFile(&both);
    ASSERT_TRUE(run.ok);
    EXPECT_EQ(run.outcome.encoding, Encoding::Yenc);
    EXPECT_EQ(run.dest, QByteArray("\1\2"));
    EXPECT_EQ(run.outcome.name, QByteArray("y.jpg"));
}

TEST(decodeFile, UuencodeReplacesTheDestinationAndReportsItsName)
{
    TempProgramFolder dir;
    dir.write(QStringLiteral("dest.jpg"), QByteArray(100, 'z'));
    dir.write(QStringLiteral("w"), "Subject: other.jpg\r\n\r\n" + UuAbc);
    DecodeLogRecorder rec;
    DecodeOutcome out;
    ASSERT_TRUE(
        decodeFile(dir.file(QStringLiteral("w")), dir.file(QStringLiteral("dest.jpg")), rec.hooks(), &out));
    EXPECT_EQ(dir.read(QStringLiteral("dest.jpg")), QByteArray("abc"));
    EXPECT_EQ(out.name, QByteArray("abc.jpg"));
    EXPECT_TRUE(rec.logged.isEmpty());
}

TEST(decodeFile, UnwritableDestinationFailsWithFileErrorCode)
{
    TempProgramFolder dir;
    dir.write(QStringLiteral("w"), UuAbc);
    DecodeLogRecorder rec;
    DecodeOutcome out;
    EXPECT_FALSE(decodeFile(dir.file(QStringLiteral("w")), dir.file(QStringLiteral("no/such/dest.jpg")),
                            rec.hooks(), &out));
    EXPECT_EQ(out.uuret, 1);
    EXPECT_NE(out.mvret, 0);
    ASSERT_EQ(rec.logged.size(), 2);
    EXPECT_TRUE(rec.logged[0].startsWith(QStringLiteral("decode err (uuret: 1  mvret: ")));
    EXPECT_TRUE(rec.logged[1].startsWith(QStringLiteral("cannot write ")));
}

TEST(decodeFile, InMemoryFormMatchesTheFileForm)
{
    const QByteArray file = test::randomBytes(2000, 21);
    const QByteArray text = test::yencArticle(test::YencPost{file, 1001, 2000, 2});
    DecodeLogRecorder rec;
    const DecodeOutcome mem = decodeArticleText(text, QStringLiteral("d"), rec.hooks());
    ASSERT_TRUE(mem.ok);
    EXPECT_EQ(mem.file.position, 1000);
    TempProgramFolder dir;
    ASSERT_EQ(writeDecodedFile(dir.file(QStringLiteral("a")), mem.file), QString());
    const DecodeOutcome toFile = decodeArticleToFile(text, dir.file(QStringLiteral("b")), rec.hooks());
    ASSERT_TRUE(toFile.ok);
    EXPECT_EQ(dir.read(QStringLiteral("a")), dir.read(QStringLiteral("b")));
    EXPECT_EQ(dir.read(QStringLiteral("a")), QByteArray(1000, GapFiller) + file.mid(1000));
}

TEST(unstuffDots, RemovesOneDotFromStuffedLines)
{
    struct Case {
        QByteArray in;
        QByteArray out;
    } cases[] = {
        {"a\r\n..b\r\n", "a\r\n.b\r\n"},
        {"a\r\n...\r\n", "a\r\n..\r\n"},
        {"a\r\n..\r\n..b\r\n", "a\r\n.\r\n.b\r\n"},
        {"a\r\n..x\r\n..y\r\n", "a\r\n.x\r\n.y\r\n"},
        {"..first\r\n..b", "..first\r\n.b"},
        {"no dots\r\n.one\r\nmid..dle\r\n", "no dots\r\n.one\r\nmid..dle\r\n"},
        {"a\n..b\n", "a\n..b\n"}, // only CR LF line ends count
        {"", ""},
    };
    for (const Case &c : cases)
        EXPECT_EQ(unstuffDots(c.in), c.out) << c.in.toStdString();
}
