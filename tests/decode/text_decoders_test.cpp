#include "codecs_test_support.h"
#include "decode/base64_decoder.h"
#include "decode/decode_file.h"
#include "decode/file_name.h"
#include "support/temp_program_folder.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <sys/stat.h>

#include <gtest/gtest.h>

using namespace kestrel;
using kestrel::test::DecodeLogRecorder;
using kestrel::test::TempProgramFolder;

namespace {

// Runs an encoder that ships with Debian on a file and returns what it printed.
QByteArray runTool(const QString &tool, const QStringList &args)
{
    QProcess p;
    p.start(tool, args);
    if (!p.waitForFinished(20000) || p.exitCode() != 0)
        return {};
    return p.readAllStandardOutput();
}

// Article text as the pipeline hands it over: header lines, blank line, body, CR LF.
QByteArray article(const QByteArray &body)
{
    QByteArray crlf = body;
    crlf.replace("\r\n", "\n");
    crlf.replace("\n", "\r\n");
    return "From: a@example.invalid\r\nSubject: pic.jpg\r\n\r\n" + crlf;
}

DecodeOutcome decode(const QByteArray &text, DecodeLogRecorder &rec)
{
    return decodeArticleText(text, QStringLiteral("/d/x"), rec.hooks());
}

} // namespace

// Each file mode, and what posters and servers do to the lines: blanks for backticks
// with trailing blanks stripped, the end line lost, a signature after it.
TEST(UuDecode, MatchesDebianUuencodeHoweverTheLinesAreChanged)
{
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("uuencode"));
    if (tool.isEmpty())
        GTEST_SKIP() << "uuencode (sharutils) is not installed";
    auto blanksForBackticks = [](QByteArray t) {
        const qsizetype body = t.indexOf('\n') + 1;
        QByteArray out = t.left(body);
        for (QByteArray line : t.mid(body).replace('`', ' ').split('\n')) {
            while (line.endsWith(' '))
                line.chop(1);
            out += line + '\n';
        }
        return out;
    };
    TempProgramFolder dir;
    const std::pair<qsizetype, mode_t> cases[] = {
        {1, 0600}, {44, 0644}, {45, 0755}, {46, 0400}, {100003, 0644}};
    std::uint32_t seed = 40;
    for (const auto &[size, mode] : cases) {
        // Zero bytes encode as '`' or ' ': plenty of both at line ends.
        QByteArray data = test::randomBytes(static_cast<std::size_t>(size), seed++);
        for (qsizetype i = 0; i < data.size(); i += 7)
            data[i] = '\0';
        if (size > 100)
            data.append(QByteArray(200, '\0')); // whole lines of them
        const QString src = dir.file(QStringLiteral("src%1").arg(seed));
        dir.write(QFileInfo(src).fileName(), data);
        ASSERT_EQ(::chmod(QFile::encodeName(src).constData(), mode), 0);
        const QByteArray encoded = runTool(tool, {src, QStringLiteral("pic.jpg")});
        ASSERT_TRUE(encoded.startsWith("begin " + QByteArray::number(mode, 8) + " pic.jpg\n"))
            << encoded.left(30).toStdString();
        for (const QByteArray &text :
             {encoded, blanksForBackticks(encoded), encoded.left(encoded.lastIndexOf("end")),
              encoded + "-- \nposted with a newsreader\n"}) {
            DecodeLogRecorder rec;
            const DecodeOutcome out = decode(article(text), rec);
            ASSERT_TRUE(out.ok) << size << " " << rec.logged.join(QLatin1Char('|')).toStdString();
            EXPECT_EQ(out.encoding, Encoding::Uuencode);
            EXPECT_EQ(out.file.bytes, data) << size;
            EXPECT_EQ(out.name, QByteArray("pic.jpg"));
        }
    }
}

TEST(Base64Decode, MatchesCoreutilsBase64InEveryWrappingAndUuencodeDashM)
{
    const QString base64 = QStandardPaths::findExecutable(QStringLiteral("base64"));
    const QString uuencode = QStandardPaths::findExecutable(QStringLiteral("uuencode"));
    if (base64.isEmpty() || uuencode.isEmpty())
        GTEST_SKIP() << "base64 or uuencode is not installed";
    TempProgramFolder dir;
    std::uint32_t seed = 70;
    for (qsizetype size : {1, 2, 3, 57, 58, 59, 123457}) {
        const QByteArray data = test::randomBytes(static_cast<std::size_t>(size), seed++);
        dir.write(QStringLiteral("src"), data);
        const QByteArray b64 = runTool(base64, {dir.file(QStringLiteral("src"))});
        const QByteArray mime =
            "Content-Type: multipart/mixed; boundary=\"XyZ\"\r\n\r\n--XyZ\r\nContent-Type: text/plain\r\n\r\n"
            "see the picture\r\n--XyZ\r\nContent-Type: image/jpeg; name=\"other.jpg\"\r\n"
            "Content-Transfer-Encoding: base64\r\nContent-Disposition: attachment; "
            "filename=\"pic.jpg\"\r\n\r\n" +
            b64 + "\r\n--XyZ--\r\n";
        const QByteArray dashM = runTool(
            uuencode, {QStringLiteral("-m"), dir.file(QStringLiteral("src")), QStringLiteral("pic.jpg")});
        // A single-part message takes the name from its Content-Type.
        const QByteArray single = "Subject: x\r\nContent-Type: image/jpeg; name=pic.jpg\r\n"
                                  "Content-Transfer-Encoding: BASE64\r\n\r\n" +
                                  QByteArray(b64).replace("\n", "\r\n");
        for (const QByteArray &text : {article(mime), article(dashM), single}) {
            DecodeLogRecorder rec;
            const DecodeOutcome out = decode(text, rec);
            ASSERT_TRUE(out.ok) << size << rec.logged.join(QLatin1Char('|')).toStdString();
            EXPECT_EQ(out.encoding, Encoding::Base64);
            EXPECT_EQ(out.file.bytes, data) << size;
            EXPECT_EQ(out.name, QByteArray("pic.jpg"));
        }
    }
}

TEST(Base64Decode, PaddingRules)
{
    struct Case {
        const char *in;
        const char *out; // nullptr: an error
    } cases[] = {
        {"QUJD", "ABC"},    {"QUI=", "AB"},      {"QQ==", "A"},           {"QUI", "AB"},
        {"QQ", "A"},        {"QU\r\nJD", "ABC"}, {"QQ==\r\n  \r\n", "A"}, {"QUJD=", nullptr},
        {"QQ=", nullptr},   {"Q===", nullptr},   {"QUI=D", nullptr},      {"Q", nullptr},
        {"QUJDQ", nullptr}, {"QU*D", nullptr},   {"QQ==QQ==", nullptr},   {"", nullptr},
    };
    for (const Case &c : cases) {
        const CodecResult r = base64Decode(c.in);
        EXPECT_EQ(r.ok(), c.out != nullptr) << c.in;
        if (c.out) {
            EXPECT_EQ(r.bytes, QByteArray(c.out)) << c.in;
        }
    }
}

TEST(FileNames, NamesFromArticlesAreMadeSafe)
{
    struct Case {
        QByteArray raw;
        QByteArray safe;
    } cases[] = {
        {"pic.jpg", "pic.jpg"},
        {"../../x.jpg", "x.jpg"},
        {"/etc/passwd", "passwd"},
        {"C:\\Windows\\evil.jpg", "evil.jpg"},
        {"a\tb\x01\x7f.jpg", "ab.jpg"},
        {"..", ""},
        {".hidden.jpg", "hidden.jpg"},
        {". .\x7f. x.jpg", "x.jpg"},
        {"  my pic.jpg \r", "my pic.jpg"},
        {"dir/", ""},
        {"", ""},
    };
    for (const Case &c : cases)
        EXPECT_EQ(sanitizeFileName(c.raw), c.safe) << c.raw.toStdString();
}
