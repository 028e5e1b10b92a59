// Saves on a file system that refuses to write: the old file stays and the caller hears.
#include "base/atomic_file.h"
#include "base/ini_file.h"
#include "support/file_size_limit.h"
#include "support/temp_program_folder.h"

#include <QDir>
#include <gtest/gtest.h>

using namespace kestrel;
using kestrel::test::FileSizeLimit;
using kestrel::test::TempProgramFolder;

TEST(AtomicFile, RefusedWriteKeepsTheOldFileAndSaysWhy)
{
    const QByteArray old = "[Options]\r\nNews_Host=news.example\r\n";
    // Small enough to stay in Qt's write buffer until the end, and larger than it.
    for (const qsizetype size : {qsizetype(600), qsizetype(200000)}) {
        TempProgramFolder dir;
        dir.write("KESTREL.INI", old);
        SaveResult result = SaveResult::done();
        {
            const FileSizeLimit full(512);
            result = writeFileAtomic(dir.file("KESTREL.INI"), QByteArray(size, 'x'));
        }
        EXPECT_FALSE(result.ok()) << size;
        EXPECT_EQ(result.path(), dir.file("KESTREL.INI"));
        EXPECT_NE(result.reason(), QFile(QString()).errorString()) << "no reason given";
        EXPECT_TRUE(result.message().startsWith("KESTREL.INI could not be saved: "))
            << result.message().toStdString();
        EXPECT_EQ(dir.read("KESTREL.INI"), old) << size;
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"KESTREL.INI"})
            << "temporary file left";
    }
}

TEST(AtomicFile, RefusedAppendAndSettingsSaveAreReported)
{
    TempProgramFolder dir;
    dir.write("OPSLOG.TXT", "first\r\n");
    dir.write("KESTREL.INI", "[Options]\r\nA=1\r\n");
    IniFile ini(dir.file("KESTREL.INI"));
    ini.write("Options", "B", QByteArray(2000, 'y'));
    {
        const FileSizeLimit full(8);
        EXPECT_FALSE(appendToFile(dir.file("OPSLOG.TXT"), "second line\r\n"));
        EXPECT_FALSE(ini.save());
    }
    EXPECT_EQ(IniFile(dir.file("KESTREL.INI")).read("Options", "A"), "1");
    EXPECT_TRUE(appendToFile(dir.file("OPSLOG.TXT"), "third\r\n"));
    EXPECT_TRUE(ini.save());
    EXPECT_EQ(IniFile(dir.file("KESTREL.INI")).read("Options", "B"), QByteArray(2000, 'y'));
}
