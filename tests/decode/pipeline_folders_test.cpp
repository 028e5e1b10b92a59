#include "pipeline_test_support.h"

#include "decode/download_folders.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

using namespace kestrel;
using namespace kestrel::test;

TEST(decodeArticle, NamesFromTheNetworkStayInsideTheDownloadFolder)
{
    struct Case {
        const char *what;
        QByteArray fileName, group, uuName; // uuName empty: a yEnc article
        DecodeResult result;
        QStringList files;
    };
    // How names are cleaned is the file-name test's; here: that the result stays inside.
    const Case cases[] = {
        {"parent folders", "../../x.jpg", "alt", {}, DecodeResult::Stored, {"alt/x.jpg"}},
        {"empty name", "", "alt", {}, DecodeResult::Dropped, {}},
        {"only dots", "..", "alt", {}, DecodeResult::Dropped, {}},
        {"group climbing out", "grp.jpg", "../../etc", {}, DecodeResult::Stored, {"etc/grp.jpg"}},
        {"group of dots", "grp.jpg", "..", {}, DecodeResult::Stored, {"grp.jpg"}},
        {"uuencode name climbing out",
         "subj.jpg",
         "alt",
         "../../../up.jpg",
         DecodeResult::Stored,
         {"alt/up.jpg"}},
    };
    for (const Case &c : cases) {
        PipelineWorld w;
        w.ctx.settings.setChecked(u"chkUseNameFromUUE", true);
        const QByteArray body =
            c.uuName.isEmpty() ? yencBody(jpegPicture()) : uuencode(jpegPicture(), c.uuName);
        EXPECT_EQ(w.pipeline.decodeArticle(articleReply(body), c.group, c.fileName, "H"), c.result) << c.what;
        QStringList pictures = w.files().filter(QStringLiteral(".jpg"));
        EXPECT_EQ(pictures, c.files) << c.what << ": " << w.files().join(' ').toStdString();
        // Nothing but the download folder, the sounds and the list in the program folder.
        QStringList top = QDir(w.dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        top.sort();
        EXPECT_EQ(top, QStringList({"NOREDL.TXT", "dl", "sfx"}).mid(c.result == DecodeResult::Dropped))
            << c.what << ": " << top.join(' ').toStdString();
        EXPECT_FALSE(QFileInfo::exists(QDir(w.dir.path()).filePath("../x.jpg"))) << c.what;
    }
}

TEST(decodeArticle, TheDownloadFolderSettingIsNormalisedAndAMissingOneKeepsTheArticle)
{
    const QByteArray article = articleReply(yencBody(jpegPicture()));
    for (const char *ending : {"", "//"}) {
        PipelineWorld w;
        w.ctx.settings.setText(u"lblDownloadPath", w.dl + QLatin1String(ending));
        EXPECT_EQ(w.pipeline.decodeArticle(article, {}, "n.jpg", {}), DecodeResult::Stored) << ending;
        EXPECT_EQ(w.files(), QStringList({"n.jpg"})) << ending;
    }
    for (const char *setting : {"", "/gone"}) {
        PipelineWorld w;
        const QString cwd = QDir::currentPath();
        ASSERT_TRUE(QDir::setCurrent(w.dl));
        w.ctx.settings.setText(u"lblDownloadPath", *setting ? w.dl + QLatin1String(setting) : QString());
        EXPECT_EQ(w.pipeline.decodeArticle(article, "alt", "lost.jpg", {}), DecodeResult::NoDownloadFolder);
        QDir::setCurrent(cwd);
        EXPECT_EQ(w.logged.size(), 1) << setting;
        EXPECT_TRUE(w.logged.value(0).endsWith(QStringLiteral("lost.jpg not saved"))) << setting;
        EXPECT_EQ(QDir(w.dl).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList()) << setting;
        EXPECT_FALSE(w.noRedl.contains("lost.jpg")) << setting;
        EXPECT_EQ(w.sound(), QString()) << setting;
    }
}

TEST(decodeArticle, HeaderFilesDescriptionsAndRecordedNamesFollowThePicture)
{
    PipelineWorld w;
    w.ctx.settings.setChecked(u"chkSaveACDsee", true);
    w.ctx.settings.setChecked(u"chkUseNameFromUUE", true);
    w.ctx.state.currentArticle.sub.subject = "Boats at dawn\r\n(1/1)";
    const QByteArray jpeg = articleReply(yencBody(jpegPicture()));
    w.pipeline.decodeArticle(jpeg, "alt", "one pic.jpg", "Subject: one");
    w.pipeline.decodeArticle(jpeg, "alt", "two.jpg", {});
    w.pipeline.decodeArticle(jpeg, {}, "top.jpg", "Subject: top");
    w.pipeline.decodeArticle(articleReply(uuencode(jpegPicture(), "uu.jpg")), {}, "subj.jpg", {});
    EXPECT_EQ(w.read("alt/descript.ion"),
              "one pic.jpg Boats at dawn  (1/1)\r\ntwo.jpg Boats at dawn  (1/1)\r\n");
    EXPECT_EQ(w.read("descript.ion"), "top.jpg Boats at dawn  (1/1)\r\nuu.jpg Boats at dawn  (1/1)\r\n");
    EXPECT_EQ(w.read("alt/one pic.TXT"), "Subject: one\r\n");
    EXPECT_EQ(w.read("top.TXT"), "Subject: top\r\n");
    // Names are recorded as received; the uuencoded name is recorded by the name check.
    EXPECT_EQ(w.dir.read("NOREDL.TXT"), "ONE PIC.JPG,TWO.JPG,TOP.JPG,UU.JPG,SUBJ.JPG,");

    // A verified CSV picture takes its header file into the series folder, without a
    // description line.
    w.csv.addCsvText("Beach", "S.JPG,1," + QByteArray::number(crc32Of(jpegPicture()), 16) + ",x\r\n");
    w.csv.setCsvLoaded(true);
    w.ctx.state.currentArticle.smallIcon = 3;
    EXPECT_EQ(w.pipeline.decodeArticle(jpeg, "alt", "s.jpg", "Subject: s"), DecodeResult::VerifiedMoved);
    EXPECT_EQ(w.read("Beach/s.TXT"), "Subject: s\r\n");
    EXPECT_FALSE(w.read("alt/descript.ion").contains("s.jpg"));
}

TEST(IsInsideFolder, OnlyPathsStrictlyBelowTheFolder)
{
    const std::tuple<const char *, const char *, bool> cases[] = {
        {"/d/", "/d/a.jpg", true},     {"/d", "/d/s/a.jpg", true},  {"/d/", "/d/", false},
        {"/d/", "/d/../a.jpg", false}, {"/d/", "/dx/a.jpg", false}, {"/d/", "/d/s/../../e", false},
        {"", "a.jpg", false},
    };
    for (const auto &[folder, path, inside] : cases)
        EXPECT_EQ(isInsideFolder(folder, path), inside) << folder << " " << path;
}
