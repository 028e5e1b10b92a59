// Decodes articles whose yEnc body was written by an encoder nobody here wrote: the
// Python yenc module (Debian's python3-yenc).
#include "codecs_test_support.h"
#include "decode/decoded_file.h"
#include "decode/yenc_decoder.h"

#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <gtest/gtest.h>

using namespace kestrel;

namespace {

const char *kEncoder = R"(
import sys, io, yenc
data = sys.stdin.buffer.read()
out = io.BytesIO()
yenc.encode(io.BytesIO(data), out, len(data))
sys.stdout.buffer.write(out.getvalue())
)";

// The yEnc body of data as the Python module encodes it; empty when it is missing.
QByteArray pythonEncode(const QByteArray &data, bool *available)
{
    // Debian's interpreter, which has its packaged modules, before any other on the PATH.
    const QString python = QFile::exists(QStringLiteral("/usr/bin/python3"))
                               ? QStringLiteral("/usr/bin/python3")
                               : QStringLiteral("python3");
    QProcess p;
    p.start(python, {QStringLiteral("-c"), QString::fromLatin1(kEncoder)});
    if (!p.waitForStarted(5000)) {
        *available = false;
        return {};
    }
    p.write(data);
    p.closeWriteChannel();
    p.waitForFinished(20000);
    *available = p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    return p.readAllStandardOutput();
}

} // namespace

TEST(YencCrossCheck, ForeignEncoderRoundTrips)
{
    QRandomGenerator rng(20261206);
    const struct {
        const char *what;
        QByteArray data;
    } cases[] = {
        {"every byte value",
         [] {
             QByteArray b;
             for (int i = 0; i < 4 * 256; ++i)
                 b.append(char(i & 0xFF));
             return b;
         }()},
        {"critical bytes only", QByteArray("\x00\x0A\x0D\x3D\xD6\xE0\xE3\x13\x09\x20\x2E", 11).repeated(300)},
        {"random 300 KB",
         [&] {
             QByteArray b(300 * 1024, Qt::Uninitialized);
             rng.fillRange(reinterpret_cast<quint32 *>(b.data()), b.size() / 4);
             return b;
         }()},
    };
    for (const auto &c : cases) {
        bool available = true;
        const QByteArray body = pythonEncode(c.data, &available);
        if (!available)
            GTEST_SKIP() << "python3 with the yenc module (python3-yenc) is not installed";
        const QByteArray article =
            "=ybegin line=128 size=" + QByteArray::number(c.data.size()) + " name=cross.bin\r\n" + body +
            (body.endsWith("\r\n") ? "" : "\r\n") + "=yend size=" + QByteArray::number(c.data.size()) +
            " crc32=" + QByteArray::number(test::crc32Of(c.data), 16).rightJustified(8, '0') + "\r\n";
        DecodedFile decoded;
        const QString error = yEncDecodeText(article, QStringLiteral("cross.bin"), DecodeHooks{}, decoded);
        EXPECT_TRUE(error.isEmpty()) << c.what << ": " << error.toStdString();
        EXPECT_EQ(decoded.bytes, c.data) << c.what;
    }
}
