// `kestrel --headless` as a service manager runs it: one program per folder, a circle
// that never waits for a user, and SIGTERM that loses nothing.
#include "newsd/news_server.h"
#include "newsd/sample_store.h"
#include "scan/pending_file.h"
#include "support/temp_program_folder.h"
#include "support/wait.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QTimer>
#include <gtest/gtest.h>

#include <csignal>

using kestrel::test::TempProgramFolder;
using namespace kestrel::newsd;

namespace {

const QByteArray kGroup = "alt.binaries.pictures.service";

// One run of the real executable; its standard output is collected while the test
// serves events (the news server lives in this process).
class Program {
public:
    explicit Program(const QString &home, bool windows = false)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        m_p.setProcessEnvironment(env);
        QObject::connect(&m_p, &QProcess::readyReadStandardOutput,
                         [this] { output += m_p.readAllStandardOutput(); });
        QStringList args{"--home", home};
        if (!windows)
            args.prepend("--headless");
        m_p.start(QStringLiteral(KESTREL_EXE), args);
        m_p.waitForStarted(10000);
    }
    ~Program()
    {
        if (m_p.state() != QProcess::NotRunning) {
            m_p.kill();
            m_p.waitForFinished(5000);
        }
    }

    bool waitForOutput(const QByteArray &text, int times = 1, int timeoutMs = 15000)
    {
        return kestrel::test::waitUntil([&] { return output.count(text) >= times; }, timeoutMs);
    }
    bool waitForEnd(int timeoutMs = 15000)
    {
        return kestrel::test::waitUntil([&] { return m_p.state() == QProcess::NotRunning; }, timeoutMs);
    }
    void signal(int number) { ::kill(pid_t(m_p.processId()), number); }
    bool running() const { return m_p.state() == QProcess::Running; }
    qint64 pid() const { return m_p.processId(); }
    int exitCode() const { return m_p.exitCode(); }
    QByteArray errors() { return m_p.readAllStandardError(); }

    QByteArray output;

private:
    QProcess m_p;
};

} // namespace

TEST(ServiceRun, SecondProgramOnTheFolderIsRefusedAndCrashedOneDoesNotBlock)
{
    TempProgramFolder dir;
    // No host: the first run ends on an error at once and counts down to the next try.
    const QByteArray waiting = "trying again in 90 seconds.";
    Program first(dir.path());
    ASSERT_TRUE(first.waitForOutput(waiting)) << first.output.constData();

    const QByteArray refusal = "kestrel: another Kestrel is already running on " + dir.path().toUtf8() +
                               " (pid " + QByteArray::number(first.pid()) + ")\n";
    for (const bool windows : {false, true}) {
        Program second(dir.path(), windows);
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
        Program crashed(dir.path());
        ASSERT_TRUE(crashed.waitForOutput(waiting));
        crashed.signal(SIGKILL);
        ASSERT_TRUE(crashed.waitForEnd());
    }
    Program next(dir.path());
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
    Program program(dir.path());
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
