#include "codecs_test_support.h"
#include "decode/decode_file.h"
#include "decode/unstuff_dots.h"
#include "support/temp_program_folder.h"

#include <optional>

#include <gtest/gtest.h>

using namespace kestrel;
using kestrel::test::DecodeLogRecorder;
using kestrel::test::TempProgramFolder;

namespace {

const QByteArray UuAbc = "begin 644 abc.jpg\r\n#86)C\r\n`\r\nend\r\n";

struct FileRun {
    DecodeOutcome outcome;
    QStringList logged;
    std::optional<QByteArray> dest; // empty: no destination file
};

// Decodes `text` into a destination that already holds an older, longer file when
// `older` is set, as the decode pipeline does.
FileRun decodeInto(const QByteArray &text, bool older = false,
                   const QString &dest = QStringLiteral("dest.jpg"))
{
    TempProgramFolder dir;
    if (older)
        dir.write(QStringLiteral("dest.jpg"), QByteArray(100, 'z'));
    DecodeLogRecorder rec;
    FileRun run{decodeArticleToFile(text, dir.file(dest), rec.hooks()), rec.logged, {}};
    if (dir.exists(QStringLiteral("dest.jpg")))
        run.dest = dir.read(QStringLiteral("dest.jpg"));
    return run;
}

} // namespace

TEST(decodeArticleToFile, FailuresLogTheirLines)
{
    const QByteArray nothingToDecode = "decode err -- uud reports nothing to decode";
    struct Case {
        const char *what;
        QByteArray text;
        QStringList logged; // a final '*' matches any rest
        QString dest = QStringLiteral("dest.jpg");
    } cases[] = {
        {"empty article", "", {nothingToDecode}},
        {"nothing encoded", "From: a\r\n\r\nJust words, no picture.\r\n", {nothingToDecode}},
        {"uuencode garbage line",
         UuAbc.left(UuAbc.indexOf("`")) + "this line is no uuencode\r\nend\r\n",
         {"decode err (uuret: 1  mvret: 0)", "uuencoded line 2 is not valid (severity: 3)"}},
        {"base64 bad padding",
         "Content-Transfer-Encoding: base64\r\n\r\nQUJD=\r\n",
         {"decode err (uuret: 1  mvret: 0)", "base64 data has bad padding (severity: 3)"}},
        {"yEnc without trailer",
         "=ybegin line=128 size=3 name=a\r\n+,-\r\n",
         {"yEnc Internal Decoder: yEnc Encoding detected...", "yDecoding (*",
          "decode err (yEnc:yEnc decoder Error:no =yend after the header line)"}},
        // The open error of the file (QFileDevice::OpenError) is the mvret.
        {"unwritable destination",
         UuAbc,
         {"decode err (uuret: 1  mvret: 5)", "cannot write *"},
         QStringLiteral("no/such/dest.jpg")},
    };
    for (const Case &c : cases) {
        const FileRun run = decodeInto(c.text, false, c.dest);
        EXPECT_FALSE(run.outcome.ok) << c.what;
        ASSERT_EQ(run.logged.size(), c.logged.size())
            << c.what << ": " << run.logged.join(QLatin1Char('|')).toStdString();
        for (qsizetype i = 0; i < c.logged.size(); ++i) {
            if (c.logged[i].endsWith(u'*'))
                EXPECT_TRUE(run.logged[i].startsWith(c.logged[i].chopped(1))) << c.what;
            else
                EXPECT_EQ(run.logged[i], c.logged[i]) << c.what;
        }
        EXPECT_EQ(run.outcome.message.isEmpty(), c.logged.first() == nothingToDecode) << c.what;
        // No decoder creates its destination before it knows the data is sound.
        EXPECT_FALSE(run.dest.has_value()) << c.what;
    }
}

// Either decoder replaces an older, longer file and reports the name in the encoding.
TEST(decodeArticleToFile, YencInTheWindowWinsAndEitherDecoderReplacesTheFile)
{
    struct Case {
        const char *what;
        QByteArray text;
        Encoding encoding;
        QByteArray bytes, name;
    } cases[] = {
        {"yEnc after uuencode", UuAbc + "=ybegin line=128 size=2 name=y.jpg\r\n+,\r\n=yend size=2\r\n",
         Encoding::Yenc, "\1\2", "y.jpg"},
        {"uuencode", "Subject: other.jpg\r\n\r\n" + UuAbc, Encoding::Uuencode, "abc", "abc.jpg"},
    };
    for (const Case &c : cases) {
        const FileRun run = decodeInto(c.text, true);
        ASSERT_TRUE(run.outcome.ok) << c.what;
        EXPECT_EQ(run.outcome.encoding, c.encoding) << c.what;
        EXPECT_EQ(run.dest, c.bytes) << c.what;
        EXPECT_EQ(run.outcome.name, c.name) << c.what;
    }
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
