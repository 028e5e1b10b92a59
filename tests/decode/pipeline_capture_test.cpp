#include "pipeline_test_support.h"

#include "decode/article_capture.h"
#include "decode/download_folders.h"

#include <gtest/gtest.h>

using namespace kestrel;
using namespace kestrel::test;

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
