// A download run that stops early, on a full disk or at shutdown, against a sample
// server in this process: nothing queued is lost and nothing is filed twice.
#include "headless_engine.h"

#include "circle/circle.h"
#include "circle/connections.h"
#include "circle/rescan_countdown.h"
#include "newsd/news_server.h"
#include "newsd/sample_store.h"
#include "scan/noredl_list.h"
#include "scan/pending_file.h"
#include "scan/pending_list_model.h"
#include "support/file_size_limit.h"
#include "support/temp_program_folder.h"
#include "support/wait.h"

#include <QDirIterator>
#include <gtest/gtest.h>
#include <optional>

using namespace kestrel;
using kestrel::test::TempProgramFolder;
using namespace kestrel::newsd;

// The article in hand goes back to the head of the queue, nothing is recorded as
// fetched or left half written, and the run ends on an error; once the disk has room
// again, the queue is saved whole.
TEST(FullDisk, DownloadRunStopsAndKeepsTheQueue)
{
    const QByteArray group = "alt.binaries.pictures.full";
    NewsServer server(std::make_shared<SampleStore>(QList<SampleGroup>{SampleGroup{group, 1, 20, 0}}, 5));
    ASSERT_TRUE(server.listen());
    TempProgramFolder dir;
    dir.prepareRun(server.port(), group + "\r\n", "Do_Rescan=0\n");
    kestrel::test::HeadlessEngine run(dir.path(), false);
    Engine &engine = run.engine;
    std::optional<bool> endedOnError;
    QObject::connect(&engine.circle(), &Circle::wouldWait, [&](bool error) { endedOnError = error; });
    int queued = 0;
    QObject::connect(&engine.pending(), &PendingListModel::addedCountChanged,
                     [&] { queued = engine.pending().addedCount(); });
    {
        const kestrel::test::FileSizeLimit full(5000); // smaller than every sample picture
        engine.circle().connectScan();
        ASSERT_TRUE(kestrel::test::waitUntil([&] { return endedOnError.has_value(); }, 20000));
    }
    EXPECT_TRUE(*endedOnError);
    ASSERT_GT(queued, 1);
    EXPECT_EQ(engine.pending().rowCount(), queued) << run.log();
    EXPECT_FALSE(engine.context().state.articleInHand);
    EXPECT_EQ(engine.noRedl().nameCount(), 0u);
    EXPECT_FALSE(QDirIterator(dir.file("pics"), QDir::Files, QDirIterator::Subdirectories).hasNext());
    EXPECT_EQ(run.logged.filter("disk full: " + dir.file("pics/")).size(), 1) << run.log();
    EXPECT_EQ(run.logged.filter("disk full: downloads stopped").size(), 1) << run.log();
    EXPECT_TRUE(engine.circle().countdown().running());
    EXPECT_TRUE(run.logged.filter("Decode Error").isEmpty()) << run.log();
    EXPECT_TRUE(engine.context().log.statusLine().startsWith("disk full: "))
        << engine.context().log.statusLine().toStdString();

    engine.exitProgram(run.fe);
    EXPECT_TRUE(engine.failedSaves().isEmpty());
    PendingListModel reloaded(engine.context(), engine.noRedl(), engine.blacklist());
    reloaded.loadPending();
    EXPECT_EQ(reloaded.rowCount(), queued);
}

// The answer to the article in hand arrives after the files were saved but before the
// program has ended: it must not be filed, or NOREDL.TXT on disk would not know it.
TEST(Shutdown, ArticleAnsweredAfterTheSaveIsNotFiled)
{
    const QByteArray group = "alt.binaries.pictures.shutdown";
    NewsServer server(std::make_shared<SampleStore>(QList<SampleGroup>{SampleGroup{group, 1, 3, 0}}, 5));
    server.faults().silences = {Silence{"BODY", 600, -1}};
    ASSERT_TRUE(server.listen());
    TempProgramFolder dir;
    dir.prepareRun(server.port(), group + "\r\n", "chkMakeSubDirs=0\nDo_Rescan=0\n");
    kestrel::test::HeadlessEngine run(dir.path());
    Engine &engine = run.engine;
    engine.circle().connectScan();

    ASSERT_TRUE(kestrel::test::waitUntil([&] { return engine.context().state.articleInHand; }, 15000));
    const QByteArray inHand = engine.context().state.currentArticle.text;
    engine.exitProgram(run.fe);
    kestrel::test::waitUntil([] { return false; }, 1200); // the silenced answer comes now

    EXPECT_TRUE(QDir(dir.file("pics")).entryList(QDir::Files).isEmpty());
    EXPECT_FALSE(dir.read("NOREDL.TXT").contains(inHand));
    EXPECT_TRUE(dir.read("pending.dat").contains(inHand));
}

// Shutdown with a window of requests unanswered: pending.dat holds all of them first,
// in the order of the list, and none is filed.
TEST(Shutdown, UnansweredRequestsAreSavedFirstInListOrder)
{
    const QByteArray group = "alt.binaries.pictures.shutdown";
    auto store = std::make_shared<SampleStore>(QList<SampleGroup>{SampleGroup{group, 1, 12, 0}}, 5);
    QByteArrayList pictures;
    for (qint64 n = 1; n <= 12; ++n)
        if (store->kindOf(group, n) != SampleKind::TextPost)
            pictures.append(store->fileNameOf(group, n));
    ASSERT_GE(pictures.size(), 4);
    NewsServer server(store);
    server.faults().silences = {Silence{"BODY", -1, -1}};
    ASSERT_TRUE(server.listen());
    TempProgramFolder dir;
    dir.prepareRun(server.port(), group + "\r\n",
                   "chkMakeSubDirs=0\nDo_Rescan=0\nLine_Min=10\nLine_Max=20000\nsldPipeline=3\n");
    kestrel::test::HeadlessEngine run(dir.path());
    run.engine.circle().connectScan();
    ReplyReader &reader = run.engine.circle().connections().download().reader();
    ASSERT_TRUE(kestrel::test::waitUntil([&] { return reader.expectedCount() == 3; }, 15000));
    run.engine.exitProgram(run.fe);

    QFile saved(dir.file("pending.dat"));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    QByteArrayList texts;
    for (const PendingEntry &e : pendingfile::read(saved).entries)
        texts.append(e.text);
    EXPECT_EQ(texts, pictures);
    EXPECT_TRUE(QDir(dir.file("pics")).entryList(QDir::Files).isEmpty());
}
