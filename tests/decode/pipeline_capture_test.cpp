#include "pipeline_test_support.h"

#include "decode/article_capture.h"
#include "decode/download_folders.h"
#include "decode/format_speed.h"

#include <gtest/gtest.h>

using namespace kestrel;
using namespace kestrel::test;

TEST(formatSpeed, ThousandsOfBytesPerSecondAndSizesInKb)
{
    const std::tuple<qint64, qint64, const char *> speeds[] = {
        {0, 500000, "500,000.00"}, // read before its turn: under a millisecond
        {-3000, 500000, ".00"},      {1000, 0, ".00"},         {2000, 1001, ".50"},
        {3000, 1000, ".33"},         {1000, 123455, "123.46"}, {1000, 1234567891, "1,234,567.89"},
        {7000, 7000000, "1,000.00"}, {250, 100000, "400.00"}, // well under a second
        {1, 1234, "1,234.00"},       {999, 1000, "1.00"},     // 1,001 bytes per second, fraction dropped
    };
    for (const auto &[msecs, bytes, speed] : speeds)
        EXPECT_EQ(formatSpeed(msecs, bytes), QLatin1String(speed)) << msecs << " " << bytes;

    const std::pair<qint64, const char *> sizes[] = {
        {0, "0.0"}, {49, "0.0"}, {50, "0.1"}, {512, "0.5"}, {999950, "1,000.0"}, {1234567, "1,234.6"},
    };
    for (const auto &[bytes, text] : sizes)
        EXPECT_EQ(formatKb(bytes), QLatin1String(text)) << bytes;
}

TEST(ShortFolderName, DropsTheKnownPrefixesInTurn)
{
    const std::pair<const char *, const char *> cases[] = {
        {"alt.binaries.pictures.nature", "nature"},
        {"alt.binaries.boats", "boats"},
        {"alt.sex.pictures", "pictures"},
        {"alt.binaries.alt.sex.x", "x"},               // rule 2 then rule 3
        {"alt.binaries.pictures.alt.binaries.y", "y"}, // rule 1 then rule 2
        {"alt.sex.alt.binaries.z", "alt.binaries.z"},  // rule 3 comes last
        {"alt.binaries.", ""},
        {"ALT.BINARIES.boats", "ALT.BINARIES.boats"}, // case-sensitive
        {"comp.binaries.x", "comp.binaries.x"},
    };
    for (const auto &[group, folder] : cases)
        EXPECT_EQ(shortFolderName(group), QByteArray(folder)) << group;
}

TEST(articleRetrieved, ReportsTheTransferAndFilesThePictureByGroupSettings)
{
    struct Case {
        const char *what;
        bool makeSubDirs, shortNames, saveHeaders, headersRequested;
        QByteArray group;
        QStringList files;
    };
    const Case cases[] = {
        {"no sub-folders", false, true, false, true, "alt.binaries.boats", {"pic.jpg"}},
        {"full group name", true, false, false, true, "alt.binaries.boats", {"alt.binaries.boats/pic.jpg"}},
        {"short name", true, true, false, true, "alt.binaries.boats", {"boats/pic.jpg"}},
        {"shortened to nothing", true, true, false, true, "alt.binaries.", {"pic.jpg"}},
        {"header file", true, true, true, true, "alt.binaries.boats", {"boats/pic.TXT", "boats/pic.jpg"}},
        {"body request: no headers", true, true, true, false, "alt.binaries.boats", {"boats/pic.jpg"}},
    };
    for (const Case &c : cases) {
        PipelineWorld w;
        w.ctx.settings.setChecked(u"chkMakeSubDirs", c.makeSubDirs);
        w.ctx.settings.setChecked(u"chkShortFolderNames", c.shortNames);
        w.ctx.settings.setChecked(u"chkSaveHeaders", c.saveHeaders);
        const QByteArray body = yencBody(jpegPicture());
        RetrievedArticle a;
        a.buffer = c.headersRequested ? articleReply(body) : "222 1 <a@b> body\r\n" + body + ".\r\n";
        a.fileName = "pic.jpg";
        a.group = c.group;
        a.bytes = 1234;
        a.downloadStart = w.clock.now();
        a.headersRequested = c.headersRequested;
        w.clock.advanceMsecs(2999); // 411 bytes per second, not 1234 / 2

        EXPECT_EQ(articleRetrieved(w.pipeline, a), DecodeResult::Stored) << c.what;
        ASSERT_FALSE(w.logged.isEmpty());
        EXPECT_EQ(w.logged.first(), QStringLiteral("Article Retrieved: pic.jpg 1.2kb [.41 Kbps]")) << c.what;
        EXPECT_EQ(w.files(), c.files) << c.what << ": " << w.files().join(' ').toStdString();
        if (c.files.size() == 2) {
            EXPECT_EQ(w.read(c.files.first()),
                      "220 1 <a@b> article\r\nFrom: x@example.invalid\r\nSubject: pic\r\r\n");
        }
    }
}

TEST(articleRetrieved, NoHeaderFileWithoutABlankLine)
{
    PipelineWorld w;
    w.ctx.settings.setChecked(u"chkSaveHeaders", true);
    RetrievedArticle a;
    a.buffer = "220 1 <a@b>\r\n" + uuencode(jpegPicture(), "pic.jpg") + ".\r\n";
    a.fileName = "pic.jpg";
    a.headersRequested = true;
    EXPECT_EQ(articleRetrieved(w.pipeline, a), DecodeResult::Stored);
    EXPECT_EQ(w.files(), QStringList({"pic.jpg"}));
}
