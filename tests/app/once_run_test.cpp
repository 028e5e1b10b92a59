// --once and --demo, run as a user would, against a sample server in this process.
#include "newsd/news_server.h"
#include "newsd/sample_store.h"
#include "support/temp_program_folder.h"
#include "support/wait.h"

#include <QDir>
#include <QProcess>
#include <QTcpServer>
#include <gtest/gtest.h>

using kestrel::test::TempProgramFolder;
using namespace kestrel::newsd;

namespace {

const QByteArray kGroup = "alt.binaries.pictures.once";

struct RunResult {
    bool finished = false;
    int exitCode = -1;
    QByteArray output;
};

// Runs the program with args and serves events (the server lives in this process)
// until it ends.
RunResult runProgram(const QStringList &args, int timeoutMs = 30000)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral(KESTREL_EXE), args);
    RunResult r;
    if (!p.waitForStarted(10000))
        return r;
    r.finished = kestrel::test::waitUntil([&] { return p.state() == QProcess::NotRunning; }, timeoutMs);
    if (!r.finished)
        p.kill();
    p.waitForFinished(5000);
    r.exitCode = p.exitCode();
    r.output = p.readAll();
    return r;
}

QByteArray settingsFor(const QByteArray &host, quint16 port, const TempProgramFolder &dir,
                       const QByteArray &extra = {})
{
    return "[Options]\nNews_Host=" + host + "\nNews_Port=" + QByteArray::number(port) +
           "\nDownload_Path=" + dir.file("pics/").toUtf8() + "\nchkXOVER=1\nDo_Rescan=0\n" + extra;
}

} // namespace

TEST(OnceRun, ExitStatusTellsHowTheCircleEnded)
{
    NewsServer server(std::make_shared<SampleStore>(QList<SampleGroup>{SampleGroup{kGroup, 1, 12, 0}}, 7));
    ASSERT_TRUE(server.listen());
    QTcpServer closedPort; // a port nobody answers on once closed
    ASSERT_TRUE(closedPort.listen(QHostAddress::LocalHost));
    const quint16 deadPort = closedPort.serverPort();
    closedPort.close();

    struct Case {
        const char *what;
        QByteArray host;
        quint16 port;
        bool withFavourite;
        int expected;
    };
    const Case cases[] = {
        {"whole circle", "127.0.0.1", server.port(), true, 0},
        {"no favourites", "127.0.0.1", server.port(), false, 1},
        {"connection refused", "127.0.0.1", deadPort, true, 1},
        {"no host", "", server.port(), true, 1},
    };
    for (const Case &c : cases) {
        TempProgramFolder dir;
        QDir().mkpath(dir.file("pics"));
        dir.write("KESTREL.INI", settingsFor(c.host, c.port, dir, "chkAllowRestart=0\n"));
        if (c.withFavourite)
            dir.write("favs.txt", kGroup + "\r\n");
        const RunResult r = runProgram({"--headless", "--once", "--home", dir.path()});
        ASSERT_TRUE(r.finished) << c.what << "\n" << r.output.constData();
        EXPECT_EQ(r.exitCode, c.expected) << c.what << "\n" << r.output.constData();
        if (c.expected == 0) {
            EXPECT_FALSE(QDir(dir.file("pics/" + QString::fromLatin1(kGroup))).isEmpty())
                << r.output.constData();
            EXPECT_TRUE(r.output.contains("Decode Successful")) << r.output.constData();
        }
    }
}

TEST(OnceRun, DemoFilesSamplePictures)
{
    const RunResult r = runProgram({"--demo", "--headless"}, 60000);
    ASSERT_TRUE(r.finished) << r.output.constData();
    EXPECT_EQ(r.exitCode, 0) << r.output.constData();
    const qsizetype at = r.output.indexOf("Pictures are in ");
    ASSERT_GE(at, 0) << r.output.constData();
    const QString folder = QString::fromUtf8(r.output.mid(at + 16).trimmed());
    QDir pictures(folder);
    int files = 0;
    for (const QString &sub : pictures.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        files += QDir(pictures.filePath(sub)).entryList({"*.jpg"}, QDir::Files).size();
    EXPECT_GT(files, 10);
    QDir(folder + "/..").removeRecursively();
}

// The connection goes in the middle of the last group: the run ends on an error, the
// articles of the headers read are fetched, and the group keeps where it got to.
TEST(OnceRun, ScanCutShortExitsWithAnError)
{
    NewsServer server(std::make_shared<SampleStore>(QList<SampleGroup>{SampleGroup{kGroup, 1, 250, 0}}, 7));
    ASSERT_TRUE(server.listen());
    int overviews = 0;
    QObject::connect(&server, &NewsServer::commandReceived, &server, [&](int, const QByteArray &line) {
        if (!line.startsWith("XOVER") || ++overviews != 2)
            return;
        server.faults().silences.append({"XOVER", -1, 1});
        QMetaObject::invokeMethod(
            &server, [&] { server.dropConnections(); }, Qt::QueuedConnection);
    });
    TempProgramFolder dir;
    QDir().mkpath(dir.file("pics"));
    dir.write("KESTREL.INI", settingsFor("127.0.0.1", server.port(), dir, "chkAllowRestart=0\n"));
    dir.write("favs.txt", kGroup + "\r\n");
    const RunResult r = runProgram({"--headless", "--once", "--home", dir.path()});
    ASSERT_TRUE(r.finished) << r.output.constData();
    EXPECT_EQ(r.exitCode, 1) << r.output.constData();
    EXPECT_TRUE(r.output.contains("Scan Cut Short (connection lost).")) << r.output.constData();
    EXPECT_FALSE(r.output.contains("Scan Complete")) << r.output.constData();
    EXPECT_TRUE(r.output.contains("Decode Successful")) << r.output.constData();
    // The first range (the XOVER burst of 100) was read, the second never answered.
    EXPECT_TRUE(dir.read("favs.txt").startsWith(kGroup + ",100,")) << dir.read("favs.txt").constData();
}
