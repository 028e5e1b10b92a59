#include "codecs_test_support.h"
#include "decode/image_tester.h"
#include "decode/jpeg_check.h"

#include "base/context.h"
#include "support/temp_program_folder.h"

#include <gtest/gtest.h>

using namespace kestrel;
using kestrel::test::jpegPicture;
using kestrel::test::TempProgramFolder;

namespace {

QByteArray patched(QByteArray p, qsizetype at, const QByteArray &bytes)
{
    p.replace(at, bytes.size(), bytes);
    return p;
}

} // namespace

TEST(jpegCheck, ReportsTheFirstProblemFound)
{
    struct Case {
        const char *what;
        QByteArray bytes;
        int code;
    };
    const QByteArray good = jpegPicture(2000);
    const QByteArray noSof = patched(good, 20, "xx");
    const QByteArray big = patched(jpegPicture(6000), 20, "xx");
    const Case cases[] = {
        {"complete", good, JpegPassed},
        {"empty", QByteArray(), JpegEmpty},
        {"exif instead of jfif", patched(good, 3, QByteArray("\xE1\x00\020Exif", 7)), JpegNoIdent},
        {"ident one byte late", 'x' + good, JpegNoIdent},
        {"jfif first seen too early", patched(good, 0, "JFIF"), JpegNoIdent},
        {"no start of frame", noSof, JpegNoSof},
        {"huffman table is no frame", patched(good, 21, "\xC4"), JpegNoSof},
        {"arithmetic table is no frame", patched(good, 21, "\xCC"), JpegNoSof},
        {"frame only in last third", patched(big, 4500, "\xFF\xC2"), JpegNoSof},
        {"frame at end of fourth sixth", patched(big, 3998, "\xFF\xC2"), JpegPassed},
        {"frame split between sixths", patched(big, 999, "\xFF\xC2"), JpegNoSof},
        {"no end of image", patched(good, 1998, "xx"), JpegNoEoi},
        {"end of image first in window", patched(patched(good, 1998, "xx"), 1885, "\xFF\xD9"), JpegPassed},
        {"end of image just before window", patched(patched(good, 1998, "xx"), 1884, "\xFF\xD9"), JpegNoEoi},
        {"no frame beats no end", patched(noSof, 1998, "xx"), JpegNoSof},
        {"no ident beats no frame", patched(noSof, 6, "JFIX"), JpegNoIdent},
        {"shorter than the end window", jpegPicture(60), JpegPassed},
        {"short and cut", patched(jpegPicture(60), 58, "xx"), JpegNoEoi},
        {"short: whole file is the end window", patched(patched(jpegPicture(60), 58, "xx"), 30, "\xFF\xD9"),
         JpegPassed},
        {"exactly 300k", jpegPicture(300000), JpegPassed},
        {"one byte over 300k", jpegPicture(300001), JpegOver300k},
        {"gif in a comment", patched(good, 100, "made from a GiF"), JpegFromGif},
        {"gif after a dos end-of-file block", patched(patched(jpegPicture(3000), 50, "\x1A"), 1500, "GIF"),
         JpegPassed},
        {"gif at the end of the sixth kilobyte", patched(jpegPicture(9000), 6141, "gif"), JpegFromGif},
        {"gif after six kilobytes", patched(jpegPicture(9000), 6144, "gif"), JpegPassed},
        {"size beats gif", patched(jpegPicture(300001), 100, "GIF"), JpegOver300k},
    };
    TempProgramFolder dir;
    for (const Case &c : cases) {
        dir.write("p.jpg", c.bytes);
        EXPECT_EQ(jpegCheck(dir.file("p.jpg")), c.code) << c.what;
    }
}

TEST(jpegCheck, EveryStartOfFrameKindCounts)
{
    const quint8 frames[] = {0xC0, 0xC1, 0xC2, 0xC3, 0xC5, 0xC6, 0xC7, 0xC9, 0xCA, 0xCB, 0xCD, 0xCE, 0xCF};
    for (const quint8 f : frames)
        EXPECT_EQ(jpegCheckBytes(patched(jpegPicture(2000), 21, QByteArray(1, char(f)))), JpegPassed)
            << int(f);
    for (const quint8 f : {0xC4, 0xC8, 0xCC, 0xD0, 0xBF})
        EXPECT_EQ(jpegCheckBytes(patched(jpegPicture(2000), 21, QByteArray(1, char(f)))), JpegNoSof)
            << int(f);
}

// An unreadable picture is not tested, says why, and does not count as failed.
TEST(IvtRun, VerdictAndLogLine)
{
    TempProgramFolder dir;
    ManualClock clock;
    Context ctx{dir.path(), &clock};
    QStringList logged;
    QObject::connect(&ctx.log, &OperationsLog::logged,
                     [&](const QString &, const QString &m) { logged << m; });
    const QByteArray good = jpegPicture(2000);
    struct Case {
        const char *name;
        QByteArray bytes; // null: no file at all
        bool enabled;
        qint32 verdict;
        const char *log; // null: nothing logged; "": one line of another kind
    };
    const Case cases[] = {
        {"a.jpg", good, true, IvtPass, "IVT: a.jpg -- Passed all Tests."},
        {"big.jpg", jpegPicture(300001), true, IvtWarning,
         "IVT: big.jpg -- Warning, File size greater than 300k."},
        {"e.jpg", "", true, IvtError, "IVT: e.jpg -- Error, Zero-Byte file!"},
        {"x.jpg", patched(good, 6, "Exif"), true, IvtError,
         "IVT: x.jpg -- Error, Bad or missing JPEG ident!"},
        {"t.jpg", patched(good, 1998, "xx"), true, IvtBadStructure,
         "IVT: t.jpg -- Warning, No EOI (End of Image) Marker."},
        {"s.jpg", patched(good, 20, "xx"), true, IvtBadStructure,
         "IVT: s.jpg -- Warning, No SOF (Start of Frame) Marker."},
        {"g.jpg", patched(good, 100, "gif"), true, IvtWarning, "IVT: g.jpg -- Warning, Converted from GIF."},
        {"PIC.GIF", QByteArray(), true, IvtPass, "IVT: PIC.GIF -- GIF, not tested..."},
        {"pic.Png", QByteArray(), true, IvtPass, "IVT: pic.Png -- PNG, not tested..."},
        {"pic.png.gif", QByteArray(), true, IvtPass, "IVT: pic.png.gif -- GIF, not tested..."},
        {"pic.bmp", "", true, IvtError, "IVT: pic.bmp -- Error, Zero-Byte file!"},
        {"off.jpg", "", false, IvtPass, nullptr},
        {"gone.jpg", QByteArray(), true, IvtNotTested, ""},
    };
    for (const Case &c : cases) {
        ctx.settings.setChecked(u"chkEnableIVT", c.enabled);
        const QString path = dir.file(QString::fromLatin1(c.name));
        if (!c.bytes.isNull())
            dir.write(QString::fromLatin1(c.name), c.bytes);
        const QStringList expected = c.log ? QStringList{QString::fromLatin1(c.log)} : QStringList{};
        logged.clear();
        EXPECT_EQ(testPicture(ctx, path, c.name), c.verdict) << c.name;
        if (c.log && !*c.log) {
            ASSERT_EQ(logged.size(), 1);
            EXPECT_FALSE(logged[0].isEmpty());
            EXPECT_FALSE(logged[0].startsWith("IVT:"));
        } else {
            EXPECT_EQ(logged, expected) << c.name;
        }
    }
}
