#include "pipeline_test_support.h"

#include <gtest/gtest.h>

#include <optional>

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

TEST(decodeArticle, EveryOutcomeLeavesItsFilesLogLinesSoundAndRecord)
{
    // Each case names only what differs from a good yEnc picture stored in its group folder.
    struct Case {
        const char *what;
        QByteArray body = yencBody(jpegPicture());
        std::optional<CheckKey> flip = std::nullopt; // a setting switched away from its default
        Csv csv = NoCsv;
        DecodeResult result = DecodeResult::Stored;
        QStringList logs = {Detected, Decoding, Decoded, Passed};
        QStringList files = {"alt/pic.jpg"};
        QString sound = QStringLiteral("decode.wav");
        bool recorded = true;
    };
    const QStringList passed{Detected, Decoding, Decoded, Passed};
    const QByteArray jpeg = yencBody(jpegPicture());
    const QByteArray crcWrong = "CRC32 INVALID (CSV:DEADBEEF  pic.jpg:*";
    const QString bad = QStringLiteral("badcode.wav");
    const Case cases[] = {
        {.what = "stored"},
        {.what = "picture test off", .flip = CheckKey("chkEnableIVT"), .logs = {Detected, Decoding, Decoded}},
        {.what = "yEnc checksum wrong",
         .body = yencBody(jpegPicture(), false),
         .result = DecodeResult::DecodeFailed,
         .logs = {Detected, Decoding, "decode err (yEnc:yEnc decoder Error:CRC32 mismatch*",
                  "Decode Error: pic.jpg"},
         .files = {"bad_decodes/pic.UUE"},
         .sound = bad},
        {.what = "no trailer, article not kept",
         .body = jpeg.left(jpeg.indexOf("=yend")),
         .flip = CheckKey("chkSaveDecodes"),
         .result = DecodeResult::DecodeFailed,
         .logs = {Detected, Decoding, "decode err (yEnc:*", "Decode Error: pic.jpg"},
         .files = {},
         .sound = bad},
        {.what = "picture test error",
         .body = yencBody("not a picture at all"),
         .result = DecodeResult::TestFailed,
         .logs = {Detected, Decoding, Decoded, "IVT: pic.jpg -- Error, Bad or missing JPEG ident!",
                  "pic.jpg not saved"},
         .files = {"bad_decodes/pic.UUE"},
         .sound = bad,
         .recorded = false},
        {.what = "data of line breaks only",
         .body = "=ybegin line=128 size=0 name=pic.jpg\r\n\r\n=yend size=0\r\n",
         .result = DecodeResult::TestFailed,
         .logs = {Detected, Decoding, Decoded, "IVT: pic.jpg -- Error, Zero-Byte file!", "pic.jpg not saved"},
         .files = {"bad_decodes/pic.UUE"},
         .sound = bad,
         .recorded = false},
        {.what = "CSV CRC wrong, kept",
         .csv = CrcWrong,
         .result = DecodeResult::CrcFailedKept,
         .logs = passed + QStringList{crcWrong, "pic.jpg moved to \\crcfail"},
         .files = {"bad_decodes/pic.UUE", "crcfail/pic.jpg"},
         .sound = bad,
         .recorded = false},
        {.what = "CSV CRC wrong, deleted",
         .flip = CheckKey("chkCSVsavebadcrc"),
         .csv = CrcWrong,
         .result = DecodeResult::CrcFailedDeleted,
         .logs = passed + QStringList{crcWrong, "pic.jpg not saved"},
         .files = {},
         .sound = bad,
         .recorded = false},
        {.what = "CSV CRC right, series folder",
         .csv = CrcRight,
         .result = DecodeResult::VerifiedMoved,
         .logs = passed + QStringList{"pic.jpg CRC32 VERIFIED", "pic.jpg moved to \\Sunsets"},
         .files = {"Sunsets/pic.jpg"}},
        {.what = "CSV CRC right, folders off",
         .flip = CheckKey("chkCSVusefolders"),
         .csv = CrcRight,
         .result = DecodeResult::Verified,
         .logs = passed + QStringList{"pic.jpg CRC32 VERIFIED"}},
        {.what = "CSV mark, no index loaded", .csv = NotLoaded},
        {.what = "uuencoded name already fetched",
         .body = uuencode(jpegPicture(), "other.jpg"),
         .result = DecodeResult::Dropped,
         .logs = {"Filename subject/uucode MISMATCH!", "uucode: other.jpg subject: pic.jpg",
                  "other.jpg found in noredl, deleting.", "pic.jpg not saved"},
         .files = {},
         .sound = "",
         .recorded = false},
    };
    for (const Case &c : cases) {
        PipelineWorld w;
        if (c.flip)
            w.ctx.settings.setChecked(*c.flip, !w.ctx.settings.checked(*c.flip));
        if (c.csv != NoCsv) {
            const QByteArray crc =
                c.csv == CrcWrong ? "DEADBEEF" : QByteArray::number(crc32Of(jpegPicture()), 16);
            w.csv.addCsvText("2002_Sunsets_index", "PIC.JPG,1," + crc + ",Sunset\r\n");
            w.csv.setCsvLoaded(c.csv != NotLoaded);
            w.ctx.state.currentArticle.smallIcon = 3;
        }
        w.noRedl.addToNoRedl("other.jpg");
        w.logged.clear();
        QStringList stored;
        QObject::connect(&w.pipeline, &DecodePipeline::pictureStored, [&](const QString &p) { stored << p; });
        EXPECT_EQ(w.pipeline.decodeArticle(articleReply(c.body), "alt", "pic.jpg", {}, HeaderLines::Present),
                  c.result)
            << c.what;
        expectLines(w.logged, c.logs, w.dl, c.what);
        EXPECT_EQ(w.files(), c.files) << c.what << ": " << w.files().join(' ').toStdString();
        EXPECT_EQ(w.sound(), c.sound) << c.what;
        EXPECT_EQ(w.dir.read("NOREDL.TXT").contains("PIC.JPG,"), c.recorded) << c.what;
        const bool decoded = c.logs.contains(QString::fromLatin1(Decoded));
        EXPECT_EQ(w.ctx.display.counter(QStringLiteral("lblDecoded")), decoded ? 1 : 0) << c.what;
        // A picture that stays is reported where it stays; a partial decode is not a picture.
        QStringList kept;
        for (const QString &f : c.files) {
            if (f.endsWith(QLatin1String(".jpg")) && c.result != DecodeResult::DecodeFailed)
                kept << w.dl + QLatin1Char('/') + f;
        }
        EXPECT_EQ(stored, kept) << c.what;
        if (c.result == DecodeResult::VerifiedMoved || c.result == DecodeResult::CrcFailedKept) {
            EXPECT_EQ(w.read(c.files.last()), jpegPicture()) << c.what;
        }
    }
}

TEST(decodeArticle, KeepsTheUnstuffedTextAndTheHeadersOfAFailedArticle)
{
    PipelineWorld w;
    w.ctx.settings.setChecked(u"chkSaveHeaders", true);
    int busy = 0;
    QObject::connect(&w.pipeline, &DecodePipeline::busyChanged, [&](bool on) { busy += on ? 1 : -10; });
    EXPECT_EQ(w.pipeline.decodeArticle({}, "alt", "pic.jpg", {}), DecodeResult::Nothing);
    EXPECT_TRUE(w.logged.isEmpty());
    EXPECT_EQ(w.pipeline.decodeArticle(articleReply("..dotted\r\nplain\r\n"), {}, "pic.jpg", {}),
              DecodeResult::DecodeFailed);
    EXPECT_EQ(busy, -9);
    EXPECT_EQ(w.read("bad_decodes/pic.UUE"), "\r\n\r\n.dotted\r\nplain\r\n.\r\n\r\n");
    EXPECT_EQ(w.read("bad_decodes/pic.TXT"),
              "220 1 <a@b> article\r\nFrom: x@example.invalid\r\nSubject: pic\r\r\n");
}
