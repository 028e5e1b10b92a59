#include "app/instance_lock.h"
#include "support/temp_program_folder.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

using kestrel::InstanceLock;
using kestrel::test::TempProgramFolder;

TEST(InstanceLock, OneHolderPerFolderUntilItLetsGo)
{
    TempProgramFolder dir, other;
    {
        InstanceLock first(dir.path());
        ASSERT_TRUE(first.acquire());
        EXPECT_EQ(dir.read("kestrel.lock").trimmed().toLongLong(), QCoreApplication::applicationPid());

        InstanceLock second(dir.path() + "/"); // the same folder, spelt another way
        EXPECT_FALSE(second.acquire());
        EXPECT_EQ(second.holderPid(), QCoreApplication::applicationPid());
        EXPECT_EQ(second.refusal(), "kestrel: another Kestrel is already running on " + dir.path() +
                                        " (pid " + QString::number(QCoreApplication::applicationPid()) + ")");

        InstanceLock elsewhere(other.path());
        EXPECT_TRUE(elsewhere.acquire());
    }
    // Let go with the object; the file stays and does not block.
    EXPECT_TRUE(dir.exists("kestrel.lock"));
    InstanceLock again(dir.path());
    EXPECT_TRUE(again.acquire());

    InstanceLock nowhere(dir.file("missing/folder"));
    EXPECT_FALSE(nowhere.acquire());
    EXPECT_TRUE(
        nowhere.refusal().startsWith("kestrel: cannot open " + dir.file("missing/folder/kestrel.lock")))
        << nowhere.refusal().toStdString();
}
