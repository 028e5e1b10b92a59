#include "pipeline_test_support.h"

#include <gtest/gtest.h>

using namespace kestrel;
using namespace kestrel::test;

namespace {

const char *const Detected = "yEnc Internal Decoder: yEnc Encoding detected...";
const char *const Decoding = "yDecoding (%D/alt/pic.jpg) part: ";
const char *const Decoded = "Decode Successful: pic.jpg";
const char *const Passed = "IVT: pic.jpg -- Passed all Tests.";

enum Csv { NoCsv, CrcWrong, CrcRight, NotLoaded };

// Expected log lines match exactly, or up to a final '*'.
void expectLines(QStringList actual, const QStringList &expected, const QString &dl, const char *what)
{
    for (qsizetype i = 0; i < std::min(actual.size(), expected.size()); ++i) {
        QString want = QString(expected[i]).replace(QStringLiteral("%D"), dl);
        if (want.endsWith('*') && actual[i].startsWith(want.chopped(1)))
            actual[i] = want;
    }
    EXPECT_EQ(actual.join('\n').toStdString(), expected.join('\n').replace("%D", dl).toStdString()) << what;
}

} // namespace

TEST(DecodeArticle, EveryOutcomeLeavesItsFilesLogLinesSoundAndRecord)
{
    struct Case {
        const char *what;
        QByteArray body;
        const char *flip; // a setting switched away from its default
        Csv csv;
        DecodeResult result;
        QStringList logs, files;
        QString sound;
        bool recorded;
    };
    const QByteArray jpeg = yencBody(jpegPicture());
    const QByteArray noTrailer = jpeg.left(jpeg.indexOf("=yend"));
    const QByteArray crcWrong = "CRC32 INVALID (CSV:DEADBEEF  pic.jpg:*";
    const Case cases[] = {
        {"stored",
         jpeg,
         nullptr,
         NoCsv,
         DecodeResult::Stored,
         {Detected, Decoding, Decoded, Passed},
         {"alt/pic.jpg"},
         "decode.wav",
         true},
        {"stored, description",
         jpeg,
         "chkSaveACDsee",
         NoCsv,
         DecodeResult::Stored,
         {Detected, Decoding, Decoded, Passed},
         {"alt/descript.ion", "alt/pic.jpg"},
         "decode.wav",
         true},
        {"picture test off",
         jpeg,
         "chkEnableIVT",
         NoCsv,
         DecodeResult::Stored,
         {Detected, Decoding, Decoded},
         {"alt/pic.jpg"},
         "decode.wav",
         true},
        {"yEnc checksum wrong",
         yencBody(jpegPicture(), false),
         nullptr,
         NoCsv,
         DecodeResult::DecodeFailed,
         {Detected, Decoding, "decode err (yEnc:yEnc decoder Error:CRC32 mismatch*", "Decode Error: pic.jpg"},
         {"alt/pic.jpg", "bad_decodes/pic.UUE"},
         "badcode.wav",
         true},
        {"no trailer, article not kept",
         noTrailer,
         "chkSaveDecodes",
         NoCsv,
         DecodeResult::DecodeFailed,
         {Detected, Decoding, "decode err (yEnc:*", "Decode Error: pic.jpg"},
         {"alt/pic.jpg"},
         "badcode.wav",
         true},
        {"nothing encoded",
         "just words\r\n",
         nullptr,
         NoCsv,
         DecodeResult::DecodeFailed,
         {"decode err -- uud reports nothing to decode", "Decode Error: pic.jpg"},
         {"bad_decodes/pic.UUE"},
         "badcode.wav",
         true},
        {"picture test error",
         yencBody("not a picture at all"),
         nullptr,
         NoCsv,
         DecodeResult::TestFailed,
         {Detected, Decoding, Decoded, "IVT: pic.jpg -- Error, Bad or missing JPEG ident!",
          "pic.jpg not saved"},
         {"bad_decodes/pic.UUE"},
         "badcode.wav",
         false},
        {"CSV CRC wrong, kept",
         jpeg,
         nullptr,
         CrcWrong,
         DecodeResult::CrcFailedKept,
         {Detected, Decoding, Decoded, Passed, crcWrong, "pic.jpg moved to \\crcfail"},
         {"bad_decodes/pic.UUE", "crcfail/pic.jpg"},
         "badcode.wav",
         false},
        {"CSV CRC wrong, deleted",
         jpeg,
         "chkCSVsavebadcrc",
         CrcWrong,
         DecodeResult::CrcFailedDeleted,
         {Detected, Decoding, Decoded, Passed, crcWrong, "pic.jpg not saved"},
         {},
         "badcode.wav",
         false},
        {"CSV CRC right, series folder",
         jpeg,
         nullptr,
         CrcRight,
         DecodeResult::VerifiedMoved,
         {Detected, Decoding, Decoded, Passed, "pic.jpg CRC32 VERIFIED", "pic.jpg moved to \\Sunsets"},
         {"Sunsets/pic.jpg"},
         "decode.wav",
         true},
        {"CSV CRC right, folders off",
         jpeg,
         "chkCSVusefolders",
         CrcRight,
         DecodeResult::Verified,
         {Detected, Decoding, Decoded, Passed, "pic.jpg CRC32 VERIFIED"},
         {"alt/pic.jpg"},
         "decode.wav",
         true},
        {"CSV mark, no index loaded",
         jpeg,
         nullptr,
         NotLoaded,
         DecodeResult::Stored,
         {Detected, Decoding, Decoded, Passed},
         {"alt/pic.jpg"},
         "decode.wav",
         true},
        {"uuencoded name already fetched",
         uuencode(jpegPicture(), "other.jpg"),
         nullptr,
         NoCsv,
         DecodeResult::Dropped,
         {"Filename subject/uucode MISMATCH!", "uucode: other.jpg subject: pic.jpg",
          "other.jpg found in noredl, deleting.", "pic.jpg not saved"},
         {},
         "",
         false},
    };
    for (const Case &c : cases) {
        PipelineWorld w;
        if (c.flip)
            w.ctx.settings.setChecked(QString::fromLatin1(c.flip),
                                      !w.ctx.settings.checked(QString::fromLatin1(c.flip)));
        if (c.csv != NoCsv) {
            const QByteArray crc =
                c.csv == CrcWrong ? "DEADBEEF" : QByteArray::number(crc32Of(jpegPicture()), 16);
            w.csv.addCsvText("2002_Sunsets_index", "PIC.JPG,1," + crc + ",Sunset\r\n");
            w.csv.setCsvLoaded(c.csv != NotLoaded);
            w.ctx.state.CurrentArticle.smallIcon = 3;
        }
        w.noRedl.AddToNoRedl("other.jpg");
        w.logged.clear();
        EXPECT_EQ(w.pipeline.DecodeArticle(articleReply(c.body), "alt", "pic.jpg", {}, HeaderLines::Present),
                  c.result)
            << c.what;
        expectLines(w.logged, c.logs, w.dl, c.what);
        EXPECT_EQ(w.files(), c.files) << c.what << ": " << w.files().join(' ').toStdString();
        EXPECT_EQ(w.sound(), c.sound) << c.what;
        EXPECT_EQ(w.dir.read("NOREDL.TXT").contains("PIC.JPG,"), c.recorded) << c.what;
        const bool decoded = c.logs.contains(QString::fromLatin1(Decoded));
        EXPECT_EQ(w.ctx.display.counter(QStringLiteral("lblDecoded")), decoded ? 1 : 0) << c.what;
        if (c.result == DecodeResult::VerifiedMoved || c.result == DecodeResult::CrcFailedKept) {
            EXPECT_EQ(w.read(c.files.last()), jpegPicture()) << c.what;
        }
    }
}

TEST(DecodeArticle, KeepsTheUnstuffedTextAndTheHeadersOfAFailedArticle)
{
    PipelineWorld w;
    w.ctx.settings.setChecked(u"chkSaveHeaders", true);
    int busy = 0;
    QObject::connect(&w.pipeline, &DecodePipeline::busyChanged, [&](bool on) { busy += on ? 1 : -10; });
    EXPECT_EQ(w.pipeline.DecodeArticle({}, "alt", "pic.jpg", {}), DecodeResult::Nothing);
    EXPECT_TRUE(w.logged.isEmpty());
    EXPECT_EQ(w.pipeline.DecodeArticle(articleReply("..dotted\r\nplain\r\n"), {}, "pic.jpg", {}),
              DecodeResult::DecodeFailed);
    EXPECT_EQ(busy, -9);
    EXPECT_EQ(w.read("bad_decodes/pic.UUE"), "\r\n\r\n.dotted\r\nplain\r\n.\r\n\r\n");
    EXPECT_EQ(w.read("bad_decodes/pic.TXT"),
              "220 1 <a@b> article\r\nFrom: x@example.invalid\r\nSubject: pic\r\r\n");
}
