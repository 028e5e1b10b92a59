// The unattended loop against a sample server in this process; the countdown is
// ticked by hand, so nothing waits for real seconds.
#include "headless_engine.h"

#include "app/service_loop.h"
#include "circle/circle.h"
#include "circle/rescan_countdown.h"
#include "newsd/news_server.h"
#include "newsd/sample_store.h"
#include "support/temp_program_folder.h"
#include "support/wait.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

using namespace kestrel;
using kestrel::test::TempProgramFolder;
using namespace kestrel::newsd;

TEST(ServiceLoop, EveryStopArmsTheCountdownOnceAndItConnectsAgain)
{
    const QByteArray kGroup = "alt.binaries.pictures.service";
    NewsServer server(std::make_shared<SampleStore>(QList<SampleGroup>{SampleGroup{kGroup, 1, 6, 0}}, 3));
    ASSERT_TRUE(server.listen());

    struct Case {
        const char *what;
        QByteArray favs;     // favs.txt; empty: none
        QByteArray settings; // added to [Options]
        int seconds;         // the countdown armed after the run
        QString line;        // the one logged line that announces it
    };
    const QByteArray seen = kGroup + ",6,False\r\n";
    const Case cases[] = {
        {"nothing new, re-scan on", seen, "Do_Rescan=1\nRescan_Time=5\n", 5, "Rescan in 5 seconds."},
        {"nothing new, re-scan off", seen, "Do_Rescan=0\nRescan_Time=5\n", 90, "Rescan in 90 seconds."},
        // The download run arms the countdown itself; the loop must not arm it twice.
        {"new headers", kGroup + "\r\n", "Do_Rescan=1\nRescan_Time=7\n", 7, "Rescan in 7 seconds."},
        {"no favourites", "", "Do_Rescan=0\n", 90, "The run ended on an error; trying again in 90 seconds."},
    };
    for (const Case &c : cases) {
        TempProgramFolder dir;
        dir.prepareRun(server.port(), c.favs, c.settings);
        kestrel::test::HeadlessEngine run(dir.path());
        Engine &engine = run.engine;
        const QStringList &logged = run.logged;
        RescanCountdown &countdown = engine.circle().countdown();
        countdown.timer().setInterval(3600 * 1000); // ticked by hand below
        ServiceLoop loop(engine.context(), engine.circle());
        loop.start();

        ASSERT_TRUE(kestrel::test::waitUntil([&] { return countdown.running(); }, 15000)) << c.what;
        kestrel::test::waitUntil([] { return false; }, 100); // a second arming would come now
        EXPECT_EQ(engine.context().state.rescanCountdown, c.seconds) << c.what;
        EXPECT_EQ(logged.count(c.line), 1) << c.what << "\n" << run.log();
        const QRegularExpression announcement(QStringLiteral("^(Rescan in|The run ended)"));
        EXPECT_EQ(logged.filter(announcement).size(), 1) << c.what;

        // Counting down to 0 starts the next run, which stops and is re-armed in turn.
        const int scansBefore = logged.count("Scan Initiated...");
        const int acceptedBefore = server.connectionsAccepted();
        const auto saidBefore = run.prompter.said.size();
        for (int i = 0; i < c.seconds; ++i)
            countdown.tick();
        if (c.favs.isEmpty()) {
            EXPECT_EQ(run.prompter.said.size(), saidBefore + 1) << c.what;
        } else {
            EXPECT_TRUE(kestrel::test::waitUntil(
                [&] { return logged.count("Scan Initiated...") > scansBefore; }, 15000))
                << c.what;
            EXPECT_GT(server.connectionsAccepted(), acceptedBefore) << c.what;
        }
        EXPECT_TRUE(kestrel::test::waitUntil([&] { return countdown.running(); }, 15000)) << c.what;
    }
}
