// A download run on a disk that fills up, against a sample server in this process.
#include "app/headless_front_end.h"

#include "circle/circle.h"
#include "circle/rescan_countdown.h"
#include "engine/engine.h"
#include "newsd/news_server.h"
#include "newsd/sample_store.h"
#include "scan/noredl_list.h"
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

namespace {

QStringList filesUnder(const QString &folder)
{
    QStringList found;
    QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        found << it.next();
    return found;
}

} // namespace

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
    Engine engine(dir.path());
    QStringList logged;
    QObject::connect(&engine.context().log, &OperationsLog::logged,
                     [&](const QString &, const QString &m) { logged << m; });
    std::optional<bool> endedOnError;
    QObject::connect(&engine.circle(), &Circle::wouldWait, [&](bool error) { endedOnError = error; });
    HeadlessFrontEnd fe;
    engine.startUp(fe);
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
    EXPECT_EQ(engine.pending().rowCount(), queued) << logged.join('\n').toStdString();
    EXPECT_FALSE(engine.context().state.articleInHand);
    EXPECT_EQ(engine.noRedl().nameCount(), 0u);
    EXPECT_EQ(filesUnder(dir.file("pics")), QStringList());
    EXPECT_EQ(logged.filter("disk full: " + dir.file("pics/")).size(), 1) << logged.join('\n').toStdString();
    EXPECT_EQ(logged.filter("disk full: downloads stopped").size(), 1) << logged.join('\n').toStdString();
    EXPECT_TRUE(engine.circle().countdown().running());
    EXPECT_TRUE(logged.filter("Decode Error").isEmpty()) << logged.join('\n').toStdString();
    EXPECT_TRUE(engine.context().log.statusLine().startsWith("disk full: "))
        << engine.context().log.statusLine().toStdString();

    engine.exitProgram(fe);
    EXPECT_TRUE(engine.failedSaves().isEmpty());
    PendingListModel reloaded(engine.context(), engine.noRedl(), engine.blacklist());
    reloaded.loadPending();
    EXPECT_EQ(reloaded.rowCount(), queued);
}
