// What the pipeline does when the disk, not the article, is at fault: a refused write
// and a name longer than the file system takes.
#include "pipeline_test_support.h"

#include "support/file_size_limit.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace kestrel;
using namespace kestrel::test;

// Whatever the encoding, a picture the disk will not take leaves nothing behind, is not
// recorded as fetched and says "disk full" with the folder; an earlier picture of the
// same name is not kept half overwritten either.
TEST(decodeArticle, RefusedWriteKeepsTheArticleForLater)
{
    const QByteArray picture = jpegPicture() + QByteArray(8000, 'p');
    const struct {
        const char *what;
        QByteArray body;
        bool earlierFile;
    } cases[] = {
        {"yEnc", yencBody(picture), false},
        {"uuencode", uuencode(picture, "pic.jpg"), false},
        {"yEnc over an earlier file", yencBody(picture), true},
    };
    for (const auto &c : cases) {
        PipelineWorld w;
        if (c.earlierFile)
            w.dir.write("dl/alt/pic.jpg", "older");
        DecodeResult result = DecodeResult::Nothing;
        {
            const FileSizeLimit full(4096);
            result =
                w.pipeline.decodeArticle(articleReply(c.body), "alt", "pic.jpg", {}, HeaderLines::Present);
        }
        EXPECT_EQ(result, DecodeResult::NotStored) << c.what;
        EXPECT_EQ(w.files(), QStringList()) << c.what << ": " << w.files().join(' ').toStdString();
        EXPECT_FALSE(w.dir.read("NOREDL.TXT").contains("PIC.JPG")) << c.what;
        EXPECT_EQ(w.logged.filter("disk full: " + w.dl + "/alt/ (").size(), 1)
            << c.what << "\n"
            << w.logged.join('\n').toStdString();
        EXPECT_TRUE(w.logged.filter("Unknown error").isEmpty()) << w.logged.join('\n').toStdString();
        EXPECT_NE(w.sound(), "badcode.wav") << c.what;
        EXPECT_EQ(w.pipeline.decodedCount(), 0) << c.what;
    }
}

TEST(decodeArticle, DamagedArticleLeavesNoEmptyPicture)
{
    for (const bool saveDecodes : {true, false}) {
        PipelineWorld w;
        w.ctx.settings.setChecked(u"chkSaveDecodes", saveDecodes);
        QByteArray body = yencBody(jpegPicture());
        body.insert(body.indexOf("\r\n") + 2, QByteArray("\0\0\0", 3)); // NUL bytes: a CRC mismatch
        EXPECT_EQ(w.pipeline.decodeArticle(articleReply(body), "alt", "pic.jpg", {}, HeaderLines::Present),
                  DecodeResult::DecodeFailed);
        EXPECT_FALSE(w.files().contains("alt/pic.jpg")) << w.files().join(' ').toStdString();
    }
}

// Names too long for the file system are shortened to fit, keep their extension and do
// not overwrite another shortened name; the list of fetched names keeps the name queued.
TEST(decodeArticle, OverlongNamesAreShortenedToFitAndStayApart)
{
    const QByteArray prefix(300, 'a');
    const QByteArray accented = QByteArray(200, 'b') + QByteArray("\xc3\xa9", 2).repeated(40);
    const struct {
        QByteArray name;
        QString stored;
    } cases[] = {
        {prefix + "1.jpg", QString(251, 'a') + ".jpg"},
        {prefix + "2.jpg", QString(249, 'a') + "~1.jpg"},
        {prefix + "3.jpg", QString(249, 'a') + "~2.jpg"},
        {accented + ".jpg", QString(200, 'b') + QString(25, QChar(0xe9)) + ".jpg"},
        {"short.jpg", "short.jpg"},
    };
    PipelineWorld w;
    for (const auto &c : cases) {
        const QByteArray body = uuencode(jpegPicture(), c.name);
        EXPECT_EQ(w.pipeline.decodeArticle(articleReply(body), "alt", c.name, {}, HeaderLines::Present),
                  DecodeResult::Stored)
            << c.stored.toStdString() << "\n"
            << w.logged.join('\n').toStdString();
        EXPECT_LE(QFile::encodeName(c.stored).size(), MaxFileNameBytes);
        EXPECT_EQ(w.read("alt/" + c.stored), jpegPicture()) << c.stored.toStdString();
        EXPECT_TRUE(w.dir.read("NOREDL.TXT").contains(c.name.toUpper() + ',')) << c.stored.toStdString();
    }
    EXPECT_EQ(w.files().size(), std::size(cases));
}
