// The real executable, run as a user or a service manager would, against sample
// servers in this process: `--once`, `--demo`, and `--headless` as a service that
// runs one program per folder and loses nothing on SIGTERM.
#include "program.h"

#include "base/ini_file.h"
#include "newsd/news_server.h"
#include "newsd/sample_store.h"
#include "scan/pending_file.h"
#include "support/temp_program_folder.h"

#include <QDir>
#include <QDirIterator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>

using kestrel::IniFile;
using kestrel::test::Program;
using kestrel::test::TempProgramFolder;
using namespace kestrel::newsd;

namespace {

const QByteArray kGroup = "alt.binaries.pictures.once";

QStringList onceIn(const TempProgramFolder &dir)
{
    return {"--headless", "--once", "--home", dir.path()};
}

} // namespace

TEST(ProgramRun, VersionPrintsTheVersionAndABadArgumentTheUsage)
{
    Program version({"--version"});
    ASSERT_TRUE(version.waitForEnd(10000));
    EXPECT_EQ(version.exitCode(), 0);
    EXPECT_TRUE(version.output.startsWith("kestrel 0."));
    Program bad({"--nonsense"});
    ASSERT_TRUE(bad.waitForEnd(10000));
    EXPECT_EQ(bad.exitCode(), 2);
    EXPECT_TRUE(bad.errors().contains("--headless"));
}

TEST(ProgramRun, HeadlessRunStoppedBySigtermSavesEverything)
{
    TempProgramFolder dir;
    dir.write("KESTREL.INI", "[Options]\nchkEnableLogging=1\nNews_Host=news.example\n");
    Program p({"--headless", "--home", dir.path()});
    ASSERT_TRUE(kestrel::test::waitUntil([&] { return p.handlesSigterm(); }, 10000));
    p.signal(SIGTERM);
    ASSERT_TRUE(p.waitForEnd(10000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0);

    const IniFile ini(dir.file("KESTREL.INI"));
    EXPECT_EQ(ini.read("Options", "News_Host"), "news.example");
    EXPECT_EQ(ini.read("Options", "Line_Min"), "100");
    EXPECT_EQ(ini.read("Columns", "C8"), "20");
    EXPECT_EQ(ini.read("Sizing", "WindowState"), "0");
    EXPECT_EQ(dir.read("KESTREL.INI").count('='), 62);
}

TEST(ProgramRun, WindowedRunStoppedEarlyBySigtermStillSavesPlacement)
{
    for (const int delayMs : {0, 700}) {
        TempProgramFolder dir;
        dir.write("CSV/.keep", "");
        Program p({"--home", dir.path()});
        ASSERT_TRUE(kestrel::test::waitUntil([&] { return p.handlesSigterm(); }, 10000));
        QThread::msleep(delayMs);
        p.signal(SIGTERM);
        ASSERT_TRUE(p.waitForEnd(15000)) << "no exit after SIGTERM at " << delayMs << " ms";
        EXPECT_EQ(p.exitCode(), 0);
        const IniFile ini(dir.file("KESTREL.INI"));
        EXPECT_EQ(ini.read("Sizing", "Width"), "9465") << delayMs;
        EXPECT_EQ(ini.read("Sizing", "Height"), "6180") << delayMs;
    }
}

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
        Program r(onceIn(dir), true);
        ASSERT_TRUE(r.waitForEnd(30000)) << c.what << "\n" << r.output.constData();
        EXPECT_EQ(r.exitCode(), c.expected) << c.what << "\n" << r.output.constData();
        if (c.expected == 0) {
            EXPECT_FALSE(QDir(dir.file("pics/" + QString::fromLatin1(kGroup))).isEmpty())
                << r.output.constData();
            EXPECT_TRUE(r.output.contains("Decode Successful")) << r.output.constData();
        }
    }
}

TEST(OnceRun, DemoFilesSamplePictures)
{
    Program r({"--demo", "--headless"}, true);
    ASSERT_TRUE(r.waitForEnd(60000)) << r.output.constData();
    EXPECT_EQ(r.exitCode(), 0) << r.output.constData();
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
    // Cleaned first: "pictures/.." stops resolving once "pictures" has gone.
    EXPECT_TRUE(QDir(QDir::cleanPath(folder + "/..")).removeRecursively());
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
    Program r(onceIn(dir), true);
    ASSERT_TRUE(r.waitForEnd(30000)) << r.output.constData();
    EXPECT_EQ(r.exitCode(), 1) << r.output.constData();
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
    Program r(onceIn(dir), true);
    ASSERT_TRUE(r.waitForEnd(30000)) << r.output.constData();
    EXPECT_TRUE(r.output.contains("Decode Successful")) << r.output.constData();
    EXPECT_TRUE(r.output.contains("DUPEPATH.TXT could not be saved: ")) << r.output.constData();
    EXPECT_EQ(r.exitCode(), 1) << r.output.constData();
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
    Program r(onceIn(dir), true);
    ASSERT_TRUE(r.waitForEnd(30000)) << r.output.left(2000).constData();
    for (const QByteArray &out : {r.output, dir.read("OPSLOG.TXT")}) {
        EXPECT_TRUE(out.contains("200 \\x1b]0;owned\\x07\\x1b[2Jzzz")) << out.left(2000).constData();
        EXPECT_FALSE(out.contains('\x1b'));
        EXPECT_FALSE(out.contains('\x07'));
        EXPECT_LT(out.size(), 100'000);
    }
}

TEST(ServiceRun, SecondProgramOnTheFolderIsRefusedAndCrashedOneDoesNotBlock)
{
    TempProgramFolder dir;
    // No host: the first run ends on an error at once and counts down to the next try.
    const QByteArray waiting = "trying again in 90 seconds.";
    const QStringList run{"--headless", "--home", dir.path()};
    Program first(run);
    ASSERT_TRUE(first.waitForOutput(waiting)) << first.output.constData();

    const QByteArray refusal = "kestrel: another Kestrel is already running on " + dir.path().toUtf8() +
                               " (pid " + QByteArray::number(first.pid()) + ")\n";
    for (const bool windows : {false, true}) {
        Program second(windows ? run.mid(1) : run);
        ASSERT_TRUE(second.waitForEnd()) << windows;
        EXPECT_EQ(second.exitCode(), 1) << windows;
        // Qt may say something about the display first; the refusal is the last line.
        const QByteArray errors = second.errors();
        EXPECT_TRUE(errors.endsWith(refusal)) << windows << "\n" << errors.constData();
        EXPECT_FALSE(second.output.contains("Enter News Server name"))
            << windows << second.output.constData();
    }

    ASSERT_TRUE(first.running());
    first.signal(SIGTERM);
    ASSERT_TRUE(first.waitForEnd());
    EXPECT_EQ(first.exitCode(), 0);
    EXPECT_TRUE(QFile::exists(dir.file("KESTREL.INI")));

    // A program killed outright leaves its lock file behind; the next one starts anyway.
    {
        Program crashed(run);
        ASSERT_TRUE(crashed.waitForOutput(waiting));
        crashed.signal(SIGKILL);
        ASSERT_TRUE(crashed.waitForEnd());
    }
    Program next(run);
    ASSERT_TRUE(next.waitForOutput(waiting)) << next.output.constData() << next.errors().constData();
    next.signal(SIGTERM);
    ASSERT_TRUE(next.waitForEnd());
    EXPECT_EQ(next.exitCode(), 0);
}

TEST(ServiceRun, SigtermDuringDownloadPutsTheArticleInHandFirstInPending)
{
    NewsServer server(std::make_shared<SampleStore>(QList<SampleGroup>{SampleGroup{kGroup, 1, 12, 0}}, 7));
    ASSERT_TRUE(server.listen());
    TempProgramFolder dir;
    // One request at a time, so that the article in hand is the one the server holds
    // back (requests in flight at shutdown are covered by the shutdown tests).
    dir.prepareRun(server.port(), kGroup + "\r\n", "chkAllowRestart=0\nsldPipeline=1\n");

    // The first article comes at once; the second is never answered, so the program is
    // in the middle of fetching it when the SIGTERM comes.
    QList<qint64> fetched;
    Program *service = nullptr;
    // The first article is filed after its answer, while the next request is on its
    // way: the signal waits for its picture, so that the article in hand is the second.
    QTimer filed;
    filed.setInterval(5);
    QObject::connect(&filed, &QTimer::timeout, [&] {
        QDirIterator it(dir.file("pics"), QDir::Files, QDirIterator::Subdirectories);
        if (!it.hasNext())
            return;
        filed.stop();
        service->signal(SIGTERM);
    });
    QObject::connect(&server, &NewsServer::commandReceived, [&](int, const QByteArray &line) {
        if (!line.startsWith("BODY ") && !line.startsWith("ARTICLE "))
            return;
        fetched << line.mid(line.indexOf(' ') + 1).toLongLong();
        if (fetched.size() == 1) {
            // Installed after this command is served, so that only the next one hangs.
            QTimer::singleShot(0, &server, [&server] {
                server.faults().silences = {Silence{"BODY", -1, 1}, Silence{"ARTICLE", -1, 1}};
            });
        } else if (fetched.size() == 2) {
            filed.start();
        }
    });
    Program program({"--headless", "--home", dir.path()});
    service = &program;
    ASSERT_TRUE(program.waitForEnd(20000)) << program.output.constData();
    EXPECT_EQ(program.exitCode(), 0);
    ASSERT_EQ(fetched.size(), 2) << program.output.constData();

    QFile f(dir.file("pending.dat"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const kestrel::pendingfile::ReadResult saved = kestrel::pendingfile::read(f);
    ASSERT_GE(saved.entries.size(), 2); // so that "first" means something
    EXPECT_EQ(saved.entries.first().tag.value(), fetched[1]);
    for (const kestrel::PendingEntry &e : saved.entries)
        EXPECT_NE(e.tag.value(), fetched[0]) << "the finished article is still pending";
    EXPECT_EQ(saved.entries.size(), saved.declared);
}
