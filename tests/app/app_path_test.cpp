#include "base/app_path.h"
#include "support/temp_program_folder.h"

#include <QDir>
#include <gtest/gtest.h>

using kestrel::resolveAppPath;
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
}

TEST(AppPath, MissingHomeIsCreatedUnusableOneIsRefused)
{
    TempProgramFolder dir;
    EXPECT_EQ(resolveAppPath(dir.file("new/sub"), QString()), dir.file("new/sub"));
    EXPECT_TRUE(QDir(dir.file("new/sub")).exists());
    dir.write("plainfile", "x");
    EXPECT_EQ(resolveAppPath(dir.file("plainfile/sub"), QString()), QString());
}
