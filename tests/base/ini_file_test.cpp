#include "base/ini_file.h"
#include "support/temp_program_folder.h"

#include <gtest/gtest.h>

using kestrel::IniFile;
using kestrel::test::TempProgramFolder;

TEST(IniFile, LookupIgnoresCaseAndTrimsValues)
{
    TempProgramFolder dir;
    dir.write("a.ini", "[options]\r\nNEWS_HOST =  news.example  \r\n[Sizing]\nHEIGHT=4000\n");
    IniFile ini(dir.file("a.ini"));
    EXPECT_EQ(ini.read("Options", "News_Host"), "news.example");
    EXPECT_EQ(ini.read("SIZING", "height"), "4000");
    EXPECT_EQ(ini.read("Sizing", "Top"), "");
    EXPECT_EQ(ini.read("Columns", "C1"), "");
}

TEST(IniFile, LongValuesAreReadWhole)
{
    TempProgramFolder dir;
    const QByteArray value = QByteArray(300, 'x') + 'y';
    dir.write("a.ini", "[Options]\nDownload_Path=" + value + "\n");
    EXPECT_EQ(IniFile(dir.file("a.ini")).read("Options", "Download_Path"), value);
}

TEST(IniFile, WriteReplacesInPlaceAndAppendsToSection)
{
    TempProgramFolder dir;
    dir.write("a.ini", "; kept\n[Options]\nA=1\nB=2\n\n[Sizing]\nTop=5\n");
    IniFile ini(dir.file("a.ini"));
    ini.write("options", "a", "9");       // in place, key written as given
    ini.write("Options", "C", "3");       // appended to its section, before the blank
    ini.write("Columns", "C1", "60");     // new section at the end
    ini.write("Sizing", "Height", "100"); // appended
    ASSERT_TRUE(ini.save());
    EXPECT_EQ(dir.read("a.ini"),
              "; kept\r\n[Options]\r\na=9\r\nB=2\r\nC=3\r\n\r\n[Sizing]\r\nTop=5\r\nHeight=100\r\n"
              "[Columns]\r\nC1=60\r\n");
}

TEST(IniFile, HeightWrittenAfterHeightReadIsOneKey)
{
    TempProgramFolder dir;
    dir.write("a.ini", "[Sizing]\nheight=10\n");
    IniFile ini(dir.file("a.ini"));
    ini.write("Sizing", "Height", "20");
    ASSERT_TRUE(ini.save());
    EXPECT_EQ(IniFile(dir.file("a.ini")).read("Sizing", "height"), "20");
    EXPECT_EQ(dir.read("a.ini").count("eight="), 1);
}

TEST(IniFile, SavedFileIsOwnerOnly)
{
    TempProgramFolder dir;
    IniFile ini(dir.file("KESTREL.INI"));
    ini.write("Options", "User_Pass", "secret");
    ASSERT_TRUE(ini.save());
    const auto perms = QFile::permissions(dir.file("KESTREL.INI"));
    EXPECT_TRUE(perms & QFileDevice::ReadOwner);
    EXPECT_FALSE(perms & (QFileDevice::ReadGroup | QFileDevice::ReadOther));
}
