// --once and --demo, run as a user would, against a sample server in this process.
#include "newsd/news_server.h"
#include "newsd/sample_store.h"
#include "support/temp_program_folder.h"
#include "support/wait.h"

#include <QDir>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
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
        dir.prepareRun(c.port, c.withFavourite ? kGroup + "\r\n" : QByteArray(),
                       "Do_Rescan=0\nchkAllowRestart=0\n", c.host);
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
    int assembled = 0; // the sample server's pictures posted in several parts
    for (const QString &sub : pictures.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        files += QDir(pictures.filePath(sub)).entryList({"*.jpg"}, QDir::Files).size();
        assembled += QDir(pictures.filePath(sub)).entryList({"IMG_40*.jpg"}, QDir::Files).size();
    }
    EXPECT_GT(files, 10);
    EXPECT_GE(assembled, 4) << r.output.constData();
    QFile ini(folder + "/../KESTREL.INI");
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    EXPECT_TRUE(ini.readAll().split('\n').contains("chkMultiPart=1\r"))
        << "the demo assembles multi-part posts";
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
    dir.prepareRun(server.port(), kGroup + "\r\n", "Do_Rescan=0\nchkAllowRestart=0\n");
    const RunResult r = runProgram({"--headless", "--once", "--home", dir.path()});
    ASSERT_TRUE(r.finished) << r.output.constData();
    EXPECT_EQ(r.exitCode, 1) << r.output.constData();
    EXPECT_TRUE(r.output.contains("Scan Cut Short (connection lost).")) << r.output.constData();
    EXPECT_FALSE(r.output.contains("Scan Complete")) << r.output.constData();
    EXPECT_TRUE(r.output.contains("Decode Successful")) << r.output.constData();
    // The first range (the XOVER burst of 100) was read, the second never answered.
    EXPECT_TRUE(dir.read("favs.txt").startsWith(kGroup + ",100,")) << dir.read("favs.txt").constData();
}

// Every picture came, but a list could not be saved at the end: the next start would
// fetch them again, so the run must not look like a success.
TEST(OnceRun, FailedSaveAtShutdownEndsWithErrorStatus)
{
    NewsServer server(std::make_shared<SampleStore>(QList<SampleGroup>{SampleGroup{kGroup, 1, 3, 0}}, 7));
    ASSERT_TRUE(server.listen());
    TempProgramFolder dir;
    dir.prepareRun(server.port(), kGroup + "\r\n", "Do_Rescan=0\n");
    // Nothing can be renamed over a folder: the save of that list fails at shutdown.
    ASSERT_TRUE(QDir().mkpath(dir.file("DUPEPATH.TXT")));
    const RunResult r = runProgram({"--headless", "--once", "--home", dir.path()});
    ASSERT_TRUE(r.finished) << r.output.constData();
    EXPECT_TRUE(r.output.contains("Decode Successful")) << r.output.constData();
    EXPECT_TRUE(r.output.contains("DUPEPATH.TXT could not be saved: ")) << r.output.constData();
    EXPECT_EQ(r.exitCode, 1) << r.output.constData();
}

// A hostile greeting: terminal escapes and a line of megabytes. Standard output (the
// journal of a service) and OPSLOG.TXT get neither.
TEST(OnceRun, ServerTextReachesTheLogMadeSafe)
{
    QTcpServer hostile;
    ASSERT_TRUE(hostile.listen(QHostAddress::LocalHost));
    QObject::connect(&hostile, &QTcpServer::newConnection, [&] {
        QTcpSocket *s = hostile.nextPendingConnection();
        s->write("200 \x1b]0;owned\x07\x1b[2J" + QByteArray(4'000'000, 'z') + "\r\n");
        s->disconnectFromHost();
    });
    TempProgramFolder dir;
    dir.prepareRun(hostile.serverPort(), kGroup + "\r\n",
                   "Do_Rescan=0\nchkAllowRestart=0\nchkEnableLogging=1\nchkLogFile=1\n");
    const RunResult r = runProgram({"--headless", "--once", "--home", dir.path()});
    ASSERT_TRUE(r.finished) << r.output.left(2000).constData();
    for (const QByteArray &out : {r.output, dir.read("OPSLOG.TXT")}) {
        EXPECT_TRUE(out.contains("200 \\x1b]0;owned\\x07\\x1b[2Jzzz")) << out.left(2000).constData();
        EXPECT_FALSE(out.contains('\x1b'));
        EXPECT_FALSE(out.contains('\x07'));
        EXPECT_LT(out.size(), 100'000);
    }
}
