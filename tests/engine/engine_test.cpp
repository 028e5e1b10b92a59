#include "base/ini_file.h"
#include "circle/circle.h"
#include "decode/decode_pipeline.h"
#include "engine/engine.h"
#include "engine/recording_front_end.h"
#include "scan/dupe_paths.h"
#include "scan/favourites.h"
#include "scan/noredl_list.h"
#include "scan/pending_list_model.h"
#include "support/file_size_limit.h"
#include "support/temp_program_folder.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

using namespace kestrel;
using kestrel::test::RecordingFrontEnd;
using kestrel::test::TempProgramFolder;

namespace {

// An engine started up on a program folder prepared beforehand.
struct Started {
    explicit Started(const TempProgramFolder &dir) : engine(dir.path()), fe(engine.context())
    {
        engine.startUp(fe);
    }
    Engine engine;
    RecordingFrontEnd fe;
};

} // namespace

TEST(Engine, StartupRunsItsStepsInOrderWithProgressOneToTen)
{
    TempProgramFolder dir;
    Started s(dir);
    EXPECT_EQ(s.fe.calls, QStringList({"showWait", "createMainWindow", "applyPlacement", "createColumns",
                                       "showMainWindow"}));
    EXPECT_EQ(s.fe.progress, QList<int>({1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_FALSE(s.fe.applied.top.has_value()); // first run: centred
    EXPECT_EQ(s.fe.createdWidths, (std::array<int, 8>{60, 19, 150, 40, 40, 40, 60, 20}));
    EXPECT_EQ(s.engine.context().log.statusLine(), QString());
}

// The sound follows the saved setting, a misfit value is logged once the log is up, and
// the duplicate folders are written back normalised.
TEST(Engine, StartupObeysTheSavedFilesAndLogsMisfits)
{
    for (const bool soundsOn : {true, false}) {
        TempProgramFolder dir;
        dir.write("sfx/startup.wav", "RIFF");
        dir.write("KESTREL.INI", "[Options]\nchkEnableLogging=1\nLine_Min=abc\nchkSFX=" +
                                     QByteArray::number(soundsOn) + "\n");
        dir.write("DUPEPATH.TXT", "  /pics  \r\n\r\n/other/\r\n");
        Started s(dir);
        EXPECT_EQ(s.engine.context().sound.lastPlayed(), soundsOn ? "startup.wav" : "") << soundsOn;
        ASSERT_EQ(s.engine.context().log.entries().size(), 1);
        EXPECT_TRUE(s.engine.context().log.entries().front().contains("Line_Min=abc"));
        EXPECT_EQ(dir.read("DUPEPATH.TXT"), "/pics/\r\n/other/\r\n");
    }
}

TEST(Engine, ShutdownSavesSettingsBeforePlacementAndHidesLast)
{
    TempProgramFolder dir;
    Started s(dir);
    bool finished = false;
    QObject::connect(&s.engine, &Engine::finished, [&] { finished = true; });
    s.fe.calls.clear();
    s.engine.exitProgram(s.fe);
    ASSERT_EQ(s.fe.calls.size(), 2);
    EXPECT_TRUE(s.fe.calls[0].startsWith("currentPlacement"));
    EXPECT_TRUE(s.fe.calls[0].contains("KESTREL.INI(no Sizing)")) << s.fe.calls[0].toStdString();
    EXPECT_TRUE(s.fe.calls[1].contains("KESTREL.INI(Sizing)")) << s.fe.calls[1].toStdString();
    EXPECT_TRUE(finished);
    const IniFile ini(dir.file("KESTREL.INI"));
    EXPECT_EQ(ini.read("Columns", "C3"), "151");
    EXPECT_EQ(ini.read("Sizing", "Width"), "9465");
}

TEST(Engine, DuplicateFoldersHearOfStoredPicturesAndScanStarts)
{
    TempProgramFolder dir;
    QDir(dir.path()).mkpath(QStringLiteral("pics"));
    dir.write("DUPEPATH.TXT", dir.file("pics").toUtf8() + "\r\n");
    Started s(dir);
    Engine &engine = s.engine;
    DupePaths &dupes = engine.dupePaths();
    EXPECT_FALSE(dupes.containsFile("a.jpg"));

    dir.write("pics/a.jpg", "x");
    Q_EMIT engine.pipeline().pictureStored(dir.file("pics/a.jpg"));
    EXPECT_TRUE(dupes.containsFile("a.jpg"));
    dir.write("pics/b.jpg", "x");
    EXPECT_FALSE(dupes.containsFile("b.jpg"));
    Q_EMIT engine.circle().scanStarting();
    EXPECT_TRUE(dupes.containsFile("b.jpg"));
}

TEST(Engine, DisplayIsBusyWhileAnArticleDecodes)
{
    TempProgramFolder dir;
    Engine engine(dir.path());
    QList<bool> busyWhileDecoding;
    QObject::connect(&engine.context().log, &OperationsLog::statusChanged, [&](const QString &status) {
        if (status == QLatin1String("Decoding..."))
            busyWhileDecoding << engine.context().display.busy();
    });
    engine.pipeline().decodeArticle("220 1 <a@b> article\r\n\r\nbody\r\n.\r\n", {}, "pic.jpg", {});
    EXPECT_EQ(busyWhileDecoding, QList<bool>{true});
    EXPECT_FALSE(engine.context().display.busy());
}

// A program folder that takes no more bytes (full, or read-only to us): start-up warns,
// and the shutdown keeps every old file, names each one it could not save and reports
// the failure to whoever ends the program.
TEST(Engine, UnwritableProgramFolderIsReportedAndKeepsTheOldFiles)
{
    TempProgramFolder dir;
    const QByteArray favs = "alt.binaries.pictures.kept,7,False\r\n";
    const QByteArray noRedl = "OLD.JPG,";
    dir.write("favs.txt", favs);
    dir.write("NOREDL.TXT", noRedl);
    dir.write("KESTREL.INI", "[Options]\r\nNews_Host=news.example\r\n");
    const QByteArray ini = dir.read("KESTREL.INI");
    Engine engine(dir.path());
    QStringList logged;
    QObject::connect(&engine.context().log, &OperationsLog::logged,
                     [&](const QString &, const QString &message) { logged.append(message); });
    RecordingFrontEnd fe(engine.context());
    {
        const kestrel::test::FileSizeLimit full(0);
        engine.startUp(fe);
        engine.favourites().setNumber(0, FavLastRead, 99);
        engine.noRedl().addToNoRedl("NEW.JPG");
        engine.exitProgram(fe);
    }
    EXPECT_EQ(logged.filter("cannot be written").size(), 1) << logged.join('\n').toStdString();
    EXPECT_EQ(dir.read("favs.txt"), favs);
    EXPECT_EQ(dir.read("NOREDL.TXT"), noRedl);
    EXPECT_EQ(dir.read("KESTREL.INI"), ini);
    QStringList failed;
    for (const SaveResult &r : engine.failedSaves())
        failed.append(QFileInfo(r.path()).fileName());
    EXPECT_EQ(failed, QStringList({"KESTREL.INI", "favs.txt", "NOREDL.TXT"}));
    for (const QString &name : failed)
        EXPECT_EQ(logged.filter(name + " could not be saved: ").size(), name == "NOREDL.TXT" ? 2 : 1)
            << name.toStdString() << "\n"
            << logged.join('\n').toStdString();
}

TEST(Engine, ScanStartDropsPicturesThatWaitedTooLongForTheirParts)
{
    TempProgramFolder dir;
    Started s(dir);
    Engine &engine = s.engine;
    const QDateTime now = engine.context().clock.now();
    for (const qint64 hoursAgo : {25, 23}) {
        PendingParts parts;
        parts.total = 3;
        parts.seen = {PendingPart{1, ListNumber(hoursAgo), 100}};
        parts.firstSeen = now.addSecs(-hoursAgo * 3600);
        parts.key = "alt.test\npic.jpg\n" + QByteArray::number(hoursAgo);
        engine.pending().addArticleHeader("a@b", "pic.jpg (1/3)", "", QByteArray::number(hoursAgo), "100", "",
                                          1, false, {}, false, false, "pic.jpg", "alt.test", parts);
    }
    Q_EMIT engine.circle().scanStarting();
    ASSERT_EQ(engine.pending().count(), 1);
    EXPECT_EQ(engine.pending().entry(0).tag.value(), 23);
}
