// The normal shutdown in the middle of a download, against a sample server in this process.
#include "app/headless_front_end.h"

#include "circle/circle.h"
#include "circle/connections.h"
#include "engine/engine.h"
#include "newsd/news_server.h"
#include "newsd/sample_store.h"
#include "scan/pending_file.h"
#include "support/temp_program_folder.h"
#include "support/wait.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

using namespace kestrel;
using kestrel::test::TempProgramFolder;
using namespace kestrel::newsd;

// The answer to the article in hand arrives after the files were saved but before the
// program has ended: it must not be filed, or NOREDL.TXT on disk would not know it.
TEST(Shutdown, ArticleAnsweredAfterTheSaveIsNotFiled)
{
    const QByteArray group = "alt.binaries.pictures.shutdown";
    NewsServer server(std::make_shared<SampleStore>(QList<SampleGroup>{SampleGroup{group, 1, 3, 0}}, 5));
    FaultPlan faults;
    faults.silences = {Silence{"BODY", 600, -1}};
    server.setFaults(faults);
    ASSERT_TRUE(server.listen());

    TempProgramFolder dir;
    dir.prepareRun(server.port(), group + "\r\n", "chkMakeSubDirs=0\nDo_Rescan=0\n");
    RecordingPrompter prompter;
    Engine engine(dir.path(), nullptr, &prompter);
    HeadlessFrontEnd fe;
    engine.startUp(fe);
    engine.circle().connectScan();

    ASSERT_TRUE(kestrel::test::waitUntil([&] { return engine.context().state.articleInHand; }, 15000));
    const QByteArray inHand = engine.context().state.currentArticle.text;
    engine.exitProgram(fe);
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
    FaultPlan faults;
    faults.silences = {Silence{"BODY", -1, -1}};
    server.setFaults(faults);
    ASSERT_TRUE(server.listen());

    TempProgramFolder dir;
    dir.prepareRun(server.port(), group + "\r\n",
                   "chkMakeSubDirs=0\nDo_Rescan=0\nLine_Min=10\nLine_Max=20000\nsldPipeline=3\n");
    RecordingPrompter prompter;
    Engine engine(dir.path(), nullptr, &prompter);
    HeadlessFrontEnd fe;
    engine.startUp(fe);
    engine.circle().connectScan();
    ReplyReader &reader = engine.circle().connections().download().reader();
    ASSERT_TRUE(kestrel::test::waitUntil([&] { return reader.expectedCount() == 3; }, 15000));
    engine.exitProgram(fe);

    QFile saved(dir.file("pending.dat"));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    QByteArrayList texts;
    for (const PendingEntry &e : pendingfile::read(saved).entries)
        texts.append(e.text);
    EXPECT_EQ(texts, pictures);
    EXPECT_TRUE(QDir(dir.file("pics")).entryList(QDir::Files).isEmpty());
}
