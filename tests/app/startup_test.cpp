// What the program settles before it starts: its arguments, its folder, its lock.
#include "app/command_line.h"
#include "app/instance_lock.h"
#include "base/app_path.h"
#include "support/temp_program_folder.h"

#include <QCoreApplication>
#include <QDir>
#include <gtest/gtest.h>

using namespace kestrel;
using kestrel::test::TempProgramFolder;

namespace {

// Sets an environment variable for one scope.
class EnvGuard {
public:
    EnvGuard(const char *name, const QByteArray &value)
        : m_name(name), m_old(qgetenv(name)), m_had(qEnvironmentVariableIsSet(name))
    {
        value.isNull() ? qunsetenv(name) : qputenv(name, value);
    }
    ~EnvGuard() { m_had ? qputenv(m_name, m_old) : qunsetenv(m_name); }

private:
    const char *m_name;
    QByteArray m_old;
    bool m_had;
};

} // namespace

TEST(CommandLine, OptionsAndErrors)
{
    const auto c = parseCommandLine({"kestrel", "--home", "/x", "--headless", "--once"});
    EXPECT_TRUE(c.error.isEmpty());
    EXPECT_EQ(c.home, "/x");
    EXPECT_TRUE(c.headless && c.once && !c.demo && !c.version);
    for (const QStringList &bad :
         {QStringList{"kestrel", "--bogus"}, {"kestrel", "stray"}, {"kestrel", "--home"}})
        EXPECT_FALSE(parseCommandLine(bad).error.isEmpty()) << bad.join(' ').toStdString();
    for (const char *opt : {"--home", "--headless", "--once", "--demo", "--version", "--help"})
        EXPECT_TRUE(parseCommandLine({"kestrel"}).helpText.contains(opt)) << opt;
}

TEST(AppPath, ChosenInOrderHomeEnvironmentPortableData)
{
    TempProgramFolder home, env, exe, data;
    exe.write("KESTREL.INI", "");
    EnvGuard xdg("XDG_DATA_HOME", data.path().toLocal8Bit());
    {
        EnvGuard k("KESTREL_HOME", env.path().toLocal8Bit());
        EXPECT_EQ(resolveAppPath(home.path() + "/", exe.path()), home.path());
        EXPECT_EQ(resolveAppPath(QString(), exe.path()), env.path());
    }
    EnvGuard k("KESTREL_HOME", QByteArray());
    EXPECT_EQ(resolveAppPath(QString(), exe.path()), exe.path());
    QFile::remove(exe.file("KESTREL.INI"));
    EXPECT_EQ(resolveAppPath(QString(), exe.path()), data.path() + "/kestrel");
    EXPECT_TRUE(QDir(data.path() + "/kestrel").exists());

    // A missing home is created, an unusable one refused.
    EXPECT_EQ(resolveAppPath(home.file("new/sub"), QString()), home.file("new/sub"));
    EXPECT_TRUE(QDir(home.file("new/sub")).exists());
    home.write("plainfile", "x");
    EXPECT_EQ(resolveAppPath(home.file("plainfile/sub"), QString()), QString());
}

TEST(InstanceLock, OneHolderPerFolderUntilItLetsGo)
{
    TempProgramFolder dir, other;
    const qint64 pid = QCoreApplication::applicationPid();
    {
        InstanceLock first(dir.path());
        ASSERT_TRUE(first.acquire());
        EXPECT_EQ(dir.read("kestrel.lock").trimmed().toLongLong(), pid);

        InstanceLock second(dir.path() + "/"); // the same folder, spelt another way
        EXPECT_FALSE(second.acquire());
        EXPECT_EQ(second.holderPid(), pid);
        EXPECT_EQ(second.refusal(), "kestrel: another Kestrel is already running on " + dir.path() +
                                        " (pid " + QString::number(pid) + ")");
        EXPECT_TRUE(InstanceLock(other.path()).acquire());
    }
    // Let go with the object; the file stays and does not block.
    EXPECT_TRUE(dir.exists("kestrel.lock"));
    EXPECT_TRUE(InstanceLock(dir.path()).acquire());

    InstanceLock nowhere(dir.file("missing/folder"));
    EXPECT_FALSE(nowhere.acquire());
    EXPECT_TRUE(
        nowhere.refusal().startsWith("kestrel: cannot open " + dir.file("missing/folder/kestrel.lock")))
        << nowhere.refusal().toStdString();
}
