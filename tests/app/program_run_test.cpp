// Runs the real executable, as a user or a service manager would.
#include "base/ini_file.h"
#include "support/temp_program_folder.h"
#include "support/wait.h"

#include <QProcess>
#include <QThread>
#include <gtest/gtest.h>

#include <csignal>

using kestrel::IniFile;
using kestrel::test::TempProgramFolder;

namespace {

// True once the process holds SIGTERM back or catches it, that is, once its main()
// has begun and a SIGTERM no longer kills it outright.
bool handlesSigterm(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("SigBlk:") || line.startsWith("SigCgt:")) {
            if ((line.mid(7).trimmed().toULongLong(nullptr, 16) >> (SIGTERM - 1)) & 1)
                return true;
        }
    }
    return false;
}

} // namespace

TEST(ProgramRun, VersionPrintsTheVersion)
{
    QProcess p;
    p.start(QStringLiteral(KESTREL_EXE), {"--version"});
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitCode(), 0);
    EXPECT_TRUE(p.readAllStandardOutput().startsWith("kestrel 0."));
}

TEST(ProgramRun, BadArgumentExitsWithUsage)
{
    QProcess p;
    p.start(QStringLiteral(KESTREL_EXE), {"--nonsense"});
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitCode(), 2);
    EXPECT_TRUE(p.readAllStandardError().contains("--headless"));
}

TEST(ProgramRun, HeadlessRunStoppedBySigtermSavesEverything)
{
    TempProgramFolder dir;
    dir.write("KESTREL.INI", "[Options]\nchkEnableLogging=1\nNews_Host=news.example\n");
    QProcess p;
    p.start(QStringLiteral(KESTREL_EXE), {"--headless", "--home", dir.path()});
    ASSERT_TRUE(p.waitForStarted(10000));
    ASSERT_TRUE(kestrel::test::waitUntil([&] { return handlesSigterm(p.processId()); }, 10000));
    ::kill(pid_t(p.processId()), SIGTERM);
    ASSERT_TRUE(p.waitForFinished(10000));
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
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(KESTREL_EXE), {"--home", dir.path()});
        ASSERT_TRUE(p.waitForStarted(10000));
        ASSERT_TRUE(kestrel::test::waitUntil([&] { return handlesSigterm(p.processId()); }, 10000));
        QThread::msleep(delayMs);
        ::kill(pid_t(p.processId()), SIGTERM);
        ASSERT_TRUE(p.waitForFinished(15000)) << "no exit after SIGTERM at " << delayMs << " ms";
        EXPECT_EQ(p.exitCode(), 0);
        const IniFile ini(dir.file("KESTREL.INI"));
        EXPECT_EQ(ini.read("Sizing", "Width"), "9465") << delayMs;
        EXPECT_EQ(ini.read("Sizing", "Height"), "6180") << delayMs;
    }
}
