#include "base/ini_file.h"
#include "base/settings_file.h"
#include "base/settings_store.h"
#include "support/temp_program_folder.h"

#include <gtest/gtest.h>

#include <stdexcept>

using namespace kestrel;
using kestrel::test::TempProgramFolder;

namespace {

QList<QByteArray> keysOf(const QByteArray &file)
{
    QList<QByteArray> keys;
    for (QByteArray line : file.split('\n')) {
        line = line.trimmed();
        if (line.startsWith('['))
            keys << line;
        else if (line.contains('='))
            keys << line.left(line.indexOf('='));
    }
    return keys;
}

} // namespace

TEST(SettingsFile, FreshFileHoldsExactlyTheKeysInOrder)
{
    TempProgramFolder dir;
    SettingsStore settings;
    IniFile ini(dir.file("KESTREL.INI"));
    saveSettings(ini, settings);
    saveWindowPlacement(ini, 0, 100, 200, 9465, 6180);
    saveColumnWidths(ini, loadColumnWidths(ini));
    ASSERT_TRUE(ini.save());

    // Section and key names in file order, one blank between them.
    const std::string expected =
        "[Options] Download_Path Save_Headers chkShortFolderNames chkSaveACDsee BL_Armed "
        "Xposts_Allowed Line_Min Line_Max Rescan_Time sldTimeout Do_Rescan Show_All RequireJPG "
        "News_Host News_Port User_Name chkSavePassword User_Pass chkAuth chkMakeSubDirs chkSFX "
        "MAX_Pending chkSaveDecodes chkSlave chkXOVER sldXOVER chkAllowRestart chkAllowGIF chkAllowPNG "
        "chkDeleteUUfoundfile chkUseNameFromUUE chkAutodownload chkMaxPGPS sldMaxPGPS chkEnableIVT "
        "chkLogFile chkEnableLogging chkSSL chkSSLAllowSelfSigned SSL_Fingerprint sldPipeline sldConnections "
        "chkMultiPart sldMultiPartHours "
        "[CSV_Options] CSV_Path chkCSVsavebadcrc chkCSVusefolders chkIgnoreCSV chkCSVusedescrip "
        "[Sizing] WindowState Top Left Height Width "
        "[Columns] C1 C2 C3 C4 C5 C6 C7 C8";
    EXPECT_EQ(keysOf(dir.read("KESTREL.INI")).join(' ').toStdString(), expected);
}

TEST(SettingsFile, RoundTripKeepsEveryValue)
{
    TempProgramFolder dir;
    SettingsStore out;
    out.setNumber(u"sldLineMin", 250);
    out.setChecked(u"chkXOVER", true);
    out.setText(u"txtHost", QStringLiteral("news.example.org"));
    out.setChecked(u"chkCSVusefolders", false);
    // Long values come back whole, not cut where another platform's INI reader cut them.
    out.setText(u"lblDownloadPath", "/srv/" + QString(300, QLatin1Char('p')) + "/");
    out.setText(u"txtPassword", QString(400, QLatin1Char('s')));
    out.setChecked(u"chkSavePassword", true);
    IniFile ini(dir.file("KESTREL.INI"));
    saveSettings(ini, out);
    ASSERT_TRUE(ini.save());

    SettingsStore in;
    const QStringList notes = loadSettings(IniFile(dir.file("KESTREL.INI")), in, "/x/CSV/", true);
    EXPECT_TRUE(notes.isEmpty()) << notes.join('\n').toStdString();
    for (const SettingDef &d : settingsTable()) {
        if (!d.section || QByteArray(d.key) == "CSV_Path")
            continue;
        const int i = SettingsStore::indexOf(QString::fromLatin1(d.name));
        EXPECT_EQ(in.numberAt(i), out.numberAt(i)) << d.name;
        EXPECT_EQ(in.textAt(i), out.textAt(i)) << d.name;
    }
}

TEST(SettingsFile, PasswordKeptOnlyWhenAsked)
{
    for (const bool save : {true, false}) {
        TempProgramFolder dir;
        dir.write("KESTREL.INI", "[Options]\nUser_Pass=old\n");
        SettingsStore s;
        s.setText(u"txtPassword", QStringLiteral(" pw "));
        s.setChecked(u"chkSavePassword", save);
        IniFile ini(dir.file("KESTREL.INI"));
        saveSettings(ini, s);
        ASSERT_TRUE(ini.save());
        EXPECT_TRUE(dir.read("KESTREL.INI").contains(save ? "User_Pass=pw\r\n" : "User_Pass=\r\n"));
        EXPECT_EQ(IniFile(dir.file("KESTREL.INI")).read("Options", "User_Pass"), save ? "pw" : "");
    }
}

// A misfit value is fitted, not fatal; a dimmed box read from the file must mean "off"
// to every reader, as it does to the filter.
TEST(SettingsFile, MisfitValuesAreFittedAndDimmedCountsAsNotSet)
{
    const struct {
        QByteArray line;
        NumberKey key;
        int expected;
        bool noted;
    } cases[] = {
        {"Line_Min=abc", u"sldLineMin", 100, true}, // not a number: default
        {"Line_Min=3", u"sldLineMin", 10, true},    // below range: clamped
        {"Rescan_Time=99999999999", u"sldRescan", 240, true},
        {"Xposts_Allowed=  7 ", u"sldXposts", 7, false},
        {"chkXOVER=5", u"chkXOVER", 0, true}, // out of range: default, not "dimmed"
        {"chkAllowRestart=-1", u"chkAllowRestart", 1, true},
        {"chkAllowRestart=2", u"chkAllowRestart", 2, false}, // dimmed is a fitting state
        {"chkXOVER=", u"chkXOVER", 0, false},                // empty: default
        {"MAX_Pending=-4", u"sldMaxPending", 5, true},
    };
    TempProgramFolder dir;
    for (const auto &c : cases) {
        dir.write("KESTREL.INI", "[Options]\n" + c.line + "\n");
        SettingsStore s;
        const QStringList notes = loadSettings(IniFile(dir.file("KESTREL.INI")), s, "/x/", true);
        EXPECT_EQ(s.number(c.key), c.expected) << c.line.constData();
        EXPECT_EQ(!notes.isEmpty(), c.noted) << c.line.constData();
    }
    for (const int stored : {0, 1, 2}) {
        dir.write("KESTREL.INI", "[Options]\nchkSFX=" + QByteArray::number(stored) +
                                     "\nchkXOVER=" + QByteArray::number(stored) + "\n");
        SettingsStore s;
        loadSettings(IniFile(dir.file("KESTREL.INI")), s, "/x/", true);
        EXPECT_EQ(s.checked(u"chkSFX"), stored == 1) << stored;
        EXPECT_EQ(s.checked(u"chkXOVER"), stored == 1) << stored;
    }
}

TEST(SettingsFile, CsvPathGetsOneTrailingSeparatorAndIgnoreCsvNeedsCsvFiles)
{
    TempProgramFolder dir;
    for (const auto &[stored, expected] :
         {std::pair{"", "/app/CSV/"}, {"/data/csv", "/data/csv/"}, {" /data/csv/ ", "/data/csv/"}}) {
        dir.write("KESTREL.INI", "[CSV_Options]\nCSV_Path=" + QByteArray(stored) + "\n");
        EXPECT_EQ(loadCsvPath(IniFile(dir.file("KESTREL.INI")), "/app"), QLatin1String(expected));
    }
    dir.write("KESTREL.INI", "[CSV_Options]\nchkIgnoreCSV=1\n");
    for (const bool loaded : {false, true}) {
        SettingsStore s;
        loadSettings(IniFile(dir.file("KESTREL.INI")), s, "/c/", loaded);
        EXPECT_EQ(s.checked(u"chkIgnoreCSV"), loaded);
        EXPECT_EQ(s.isEnabled(u"chkIgnoreCSV"), loaded);
    }
}

// A maximised exit keeps the last normal placement; no Top means centre, nothing else read.
TEST(SettingsFile, WindowPlacementAndColumnWidthFallbacks)
{
    TempProgramFolder dir;
    IniFile ini(dir.file("KESTREL.INI"));
    saveWindowPlacement(ini, 0, 10, 20, 9000, 6000);
    saveWindowPlacement(ini, 2, 0, 0, 30000, 20000);
    ASSERT_TRUE(ini.save());
    const WindowPlacement p = loadWindowPlacement(IniFile(dir.file("KESTREL.INI")));
    EXPECT_TRUE(p.windowState == 2 && p.top == 10 && p.left == 20 && p.width == 9000 && p.height == 6000);

    dir.write("KESTREL.INI", "[Sizing]\nLeft=5\nWidth=7\nWindowState=2\n");
    const WindowPlacement none = loadWindowPlacement(IniFile(dir.file("KESTREL.INI")));
    EXPECT_FALSE(none.top || none.left || none.width || none.height || none.windowState);

    dir.write("KESTREL.INI", "[columns]\nc1=0\nC2=-5\nC3=abc\nC4=80.6\nC5= 33px\nC6=\nC8=0.4\n");
    EXPECT_EQ(loadColumnWidths(IniFile(dir.file("KESTREL.INI"))),
              (std::array<int, 8>{60, 19, 150, 81, 33, 40, 60, 20}));
}

TEST(IniFile, LookupIgnoresCaseAndTrimsValues)
{
    TempProgramFolder dir;
    dir.write("a.ini", "[options]\r\nNEWS_HOST =  news.example  \r\n[Sizing]\nHEIGHT=4000\n");
    IniFile ini(dir.file("a.ini"));
    EXPECT_EQ(ini.read("Options", "News_Host"), "news.example");
    EXPECT_EQ(ini.read("SIZING", "height"), "4000");
    EXPECT_EQ(ini.read("Sizing", "Top") + ini.read("Columns", "C1"), "");
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

// A key written in other letter case than it was read stays one key; the file holds a
// password, so only its owner may read it.
TEST(IniFile, HeightWrittenAfterHeightReadIsOneKeyInAnOwnerOnlyFile)
{
    TempProgramFolder dir;
    dir.write("a.ini", "[Sizing]\nheight=10\n");
    IniFile ini(dir.file("a.ini"));
    ini.write("Sizing", "Height", "20");
    ASSERT_TRUE(ini.save());
    EXPECT_EQ(IniFile(dir.file("a.ini")).read("Sizing", "height"), "20");
    EXPECT_EQ(dir.read("a.ini").count("eight="), 1);
    const auto perms = QFile::permissions(dir.file("a.ini"));
    EXPECT_TRUE(perms & QFileDevice::ReadOwner);
    EXPECT_FALSE(perms & (QFileDevice::ReadGroup | QFileDevice::ReadOther));
}

// Keys find each row by its own name while compiling (asserted next to the key type);
// widgets and the settings file find rows by name while running, and must land on the
// same row, or a bound widget would edit a different setting than the code reads.
TEST(SettingsKeys, RunTimeLookupFindsEveryRowOfTheTable)
{
    const auto table = settingsTable();
    for (size_t row = 0; row < table.size(); ++row)
        EXPECT_EQ(SettingsStore::indexOf(QString::fromLatin1(table[row].name)), int(row)) << table[row].name;
}

TEST(SettingsKeys, RunTimeLookupRejectsNearMissesAndRowsOutsideTheTable)
{
    // Other case, a letter short, a letter over, before the first and after the last name.
    for (const char16_t *name : {u"", u"chkauth", u"chkAut", u"chkAuthX", u"CHKAUTH", u"a", u"zzz"}) {
        EXPECT_EQ(SettingsStore::indexOf(name), -1) << QString::fromUtf16(name).toStdString();
        EXPECT_THROW(SettingsStore::requireIndex(name), std::logic_error);
    }
    SettingsStore s;
    for (const int index : {-1, int(settingsTable().size())}) {
        EXPECT_THROW(s.numberAt(index), std::logic_error) << index;
        EXPECT_THROW(s.setNumberAt(index, 1), std::logic_error) << index;
        EXPECT_THROW(s.setTextAt(index, QString()), std::logic_error) << index;
        EXPECT_THROW(s.isEnabledAt(index), std::logic_error) << index;
    }
}
