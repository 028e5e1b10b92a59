#include "pipeline_test_support.h"

#include <gtest/gtest.h>

#include <functional>

using namespace kestrel;
using namespace kestrel::test;

namespace {

const char *const Detected = "yEnc Internal Decoder: yEnc Encoding detected...";
const char *const Decoding = "yDecoding (%D/alt/pic.jpg) part: ";
const char *const Decoded = "Decode Successful: pic.jpg";
const char *const Passed = "IVT: pic.jpg -- Passed all Tests.";

// A CSV index holding pic.jpg under the series Sunsets with the given CRC.
void csvArticle(PipelineWorld &w, const QByteArray &crc)
{
    w.csv.addCsvText("2002_Sunsets_index", "PIC.JPG,1," + crc + ",Sunset over water\r\n");
    w.csv.setCsvLoaded(true);
    w.ctx.state.CurrentArticle.smallIcon = 3;
}

QByteArray goodCrc()
{
    return QByteArray::number(crc32Of(jpegPicture()), 16);
}

// Expected log lines match exactly, or up to a final '*'.
void expectLines(const QStringList &actual, const QStringList &expected, const QString &dl,
                 const char *what)
{
    ASSERT_EQ(actual.size(), expected.size()) << what << "\n" << actual.join('\n').toStdString();
    for (qsizetype i = 0; i < actual.size(); ++i) {
        QString want = expected[i];
        want.replace(QStringLiteral("%D"), dl);
        if (want.endsWith('*'))
            EXPECT_TRUE(actual[i].startsWith(want.chopped(1))) << what << ": " << actual[i].toStdString();
        else
            EXPECT_EQ(actual[i], want) << what;
    }
}

} // namespace

TEST(DecodeArticle, EveryOutcomeLeavesItsFilesLogLinesSoundAndRecord)
{
    struct Case {
        const char *what;
        QByteArray body;
        std::function<void(PipelineWorld &)> setup;
        DecodeResult result;
        QStringList logs;
        QStringList files;
        QString sound;
        bool recorded;
    };
    const QByteArray jpeg = yencBody(jpegPicture());
    const QByteArray noTrailer = jpeg.left(jpeg.indexOf("=yend"));
    const auto none = [](PipelineWorld &) {};
    const Case cases[] = {
        {"stored", jpeg, none, DecodeResult::Stored, {Detected, Decoding, Decoded, Passed},
         {"alt/pic.jpg"}, "decode.wav", true},
        {"stored with description", jpeg, [](PipelineWorld &w) { w.ctx.settings.setChecked(u"chkSaveACDsee", true); },
         DecodeResult::Stored, {Detected, Decoding, Decoded, Passed}, {"alt/descript.ion", "alt/pic.jpg"},
         "decode.wav", true},
        {"picture test off", jpeg, [](PipelineWorld &w) { w.ctx.settings.setChecked(u"chkEnableIVT", false); },
         DecodeResult::Stored, {Detected, Decoding, Decoded}, {"alt/pic.jpg"}, "decode.wav", true},
        {"yEnc checksum wrong", yencBody(jpegPicture(), false), none, DecodeResult::DecodeFailed,
         {Detected, Decoding, "decode err (yEnc:yEnc decoder Error:CRC32 mismatch*", "Decode Error: pic.jpg"},
         {"alt/pic.jpg", "bad_decodes/pic.UUE"}, "badcode.wav", true},
        {"no trailer, article not kept", noTrailer,
         [](PipelineWorld &w) { w.ctx.settings.setChecked(u"chkSaveDecodes", false); },
         DecodeResult::DecodeFailed, {Detected, Decoding, "decode err (yEnc:*", "Decode Error: pic.jpg"},
         {"alt/pic.jpg"}, "badcode.wav", true},
        {"nothing encoded", "just words\r\n", none, DecodeResult::DecodeFailed,
         {"decode err -- uud reports nothing to decode", "Decode Error: pic.jpg"}, {"bad_decodes/pic.UUE"},
         "badcode.wav", true},
        {"picture test error", yencBody("not a picture at all"), none, DecodeResult::TestFailed,
         {Detected, Decoding, Decoded, "IVT: pic.jpg -- Error, Bad or missing JPEG ident!", "pic.jpg not saved"},
         {"bad_decodes/pic.UUE"}, "badcode.wav", false},
        {"CSV CRC wrong, kept", jpeg, [](PipelineWorld &w) { csvArticle(w, "DEADBEEF"); },
         DecodeResult::CrcFailedKept,
         {Detected, Decoding, Decoded, Passed, "CRC32 INVALID (CSV:DEADBEEF  pic.jpg:*", "pic.jpg moved to \\crcfail"},
         {"bad_decodes/pic.UUE", "crcfail/pic.jpg"}, "badcode.wav", false},
        {"CSV CRC wrong, deleted", jpeg,
         [](PipelineWorld &w) {
             csvArticle(w, "DEADBEEF");
             w.ctx.settings.setChecked(u"chkCSVsavebadcrc", false);
         },
         DecodeResult::CrcFailedDeleted,
         {Detected, Decoding, Decoded, Passed, "CRC32 INVALID (CSV:DEADBEEF  pic.jpg:*", "pic.jpg not saved"}, {},
         "badcode.wav", false},
        {"CSV CRC right, series folder", jpeg, [](PipelineWorld &w) { csvArticle(w, goodCrc()); },
         DecodeResult::VerifiedMoved,
         {Detected, Decoding, Decoded, Passed, "pic.jpg CRC32 VERIFIED", "pic.jpg moved to \\Sunsets"},
         {"Sunsets/pic.jpg"}, "decode.wav", true},
        {"CSV CRC right, folders off", jpeg,
         [](PipelineWorld &w) {
             csvArticle(w, goodCrc());
             w.ctx.settings.setChecked(u"chkCSVusefolders", false);
         },
         DecodeResult::Verified, {Detected, Decoding, Decoded, Passed, "pic.jpg CRC32 VERIFIED"}, {"alt/pic.jpg"},
         "decode.wav", true},
        {"CSV mark without a loaded index", jpeg,
         [](PipelineWorld &w) {
             csvArticle(w, "DEADBEEF");
             w.csv.setCsvLoaded(false);
         },
         DecodeResult::Stored, {Detected, Decoding, Decoded, Passed}, {"alt/pic.jpg"}, "decode.wav", true},
        {"uuencoded name already fetched", uuencode(jpegPicture(), "other.jpg"),
         [](PipelineWorld &w) { w.noRedl.AddToNoRedl("other.jpg"); }, DecodeResult::Dropped,
         {"Filename subject/uucode MISMATCH!", "uucode: other.jpg subject: pic.jpg",
          "other.jpg found in noredl, deleting.", "pic.jpg not saved"},
         {}, "", false},
        {"uuencoded, names match", uuencode(jpegPicture(), "PIC.JPG"), none, DecodeResult::Stored,
         {"Filename subject/uucode match verified", Decoded, Passed}, {"alt/pic.jpg"}, "decode.wav", true},
    };
    for (const Case &c : cases) {
        PipelineWorld w;
        c.setup(w);
        w.logged.clear();
        const DecodeResult result =
            w.pipeline.DecodeArticle(articleReply(c.body), "alt", "pic.jpg", {}, HeaderLines::Present);
        EXPECT_EQ(result, c.result) << c.what;
        expectLines(w.logged, c.logs, w.dl, c.what);
        EXPECT_EQ(w.files(), c.files) << c.what << ": " << w.files().join(' ').toStdString();
        EXPECT_EQ(w.sound(), c.sound) << c.what;
        EXPECT_EQ(w.noRedl.contains("PIC.JPG"), c.recorded) << c.what;
        EXPECT_EQ(w.dir.read("NOREDL.TXT").contains("PIC.JPG,"), c.recorded) << c.what;
        const bool decoded = c.logs.contains(QString::fromLatin1(Decoded));
        EXPECT_EQ(w.ctx.display.counter(QStringLiteral("lblDecoded")), decoded ? 1 : 0) << c.what;
        if (c.files.contains("crcfail/pic.jpg") || c.files.contains("Sunsets/pic.jpg")) {
            EXPECT_EQ(w.read(c.files.last()), jpegPicture()) << c.what;
        }
    }
}

TEST(DecodeArticle, KeepsTheUnstuffedTextAndTheHeadersOfAFailedArticle)
{
    PipelineWorld w;
    w.ctx.settings.setChecked(u"chkSaveHeaders", true);
    const QByteArray article = articleReply("..dotted\r\nplain\r\n");
    EXPECT_EQ(w.pipeline.DecodeArticle(article, {}, "pic.jpg", {}), DecodeResult::DecodeFailed);
    EXPECT_EQ(w.read("bad_decodes/pic.UUE"), "\r\n\r\n.dotted\r\nplain\r\n.\r\n\r\n");
    EXPECT_EQ(w.read("bad_decodes/pic.TXT"),
              "220 1 <a@b> article\r\nFrom: x@example.invalid\r\nSubject: pic\r\r\n");
}

TEST(DecodeArticle, CountsDecodesAndDoesNothingForAnEmptyText)
{
    PipelineWorld w;
    int busy = 0;
    QObject::connect(&w.pipeline, &DecodePipeline::busyChanged, [&](bool on) { busy += on ? 1 : -10; });
    EXPECT_EQ(w.pipeline.DecodeArticle({}, "alt", "pic.jpg", {}), DecodeResult::Nothing);
    EXPECT_TRUE(w.logged.isEmpty());
    EXPECT_EQ(busy, 0);
    for (const char *name : {"a1.jpg", "a2.jpg"})
        w.pipeline.DecodeArticle(articleReply(yencBody(jpegPicture())), {}, name, {});
    EXPECT_EQ(w.pipeline.DecodedCount(), 2);
    EXPECT_EQ(w.ctx.display.counter(QStringLiteral("lblDecoded")), 2);
    EXPECT_EQ(busy, -18);
    EXPECT_EQ(w.files(), QStringList({"a1.jpg", "a2.jpg"}));
}
