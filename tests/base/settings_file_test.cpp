#include "base/ini_file.h"
#include "base/settings_file.h"
#include "base/settings_store.h"
#include "support/temp_program_folder.h"

#include <gtest/gtest.h>

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
    struct Case {
        bool save;
        QByteArray stored;
    };
    for (const Case &c : {Case{true, "pw"}, Case{false, ""}}) {
        TempProgramFolder dir;
        dir.write("KESTREL.INI", "[Options]\nUser_Pass=old\n");
        SettingsStore s;
        s.setText(u"txtPassword", QStringLiteral(" pw "));
        s.setChecked(u"chkSavePassword", c.save);
        IniFile ini(dir.file("KESTREL.INI"));
        saveSettings(ini, s);
        ASSERT_TRUE(ini.save());
        EXPECT_TRUE(dir.read("KESTREL.INI").contains("User_Pass=" + c.stored + "\r\n"));
        EXPECT_EQ(IniFile(dir.file("KESTREL.INI")).read("Options", "User_Pass"), c.stored);
    }
}

TEST(SettingsFile, MisfitValuesAreFittedNotFatal)
{
    struct Case {
        QByteArray line;
        NumberKey key;
        int expected;
        bool noted;
    };
    const Case cases[] = {
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
    for (const Case &c : cases) {
        TempProgramFolder dir;
        dir.write("KESTREL.INI", "[Options]\n" + c.line + "\n");
        SettingsStore s;
        const QStringList notes = loadSettings(IniFile(dir.file("KESTREL.INI")), s, "/x/", true);
        EXPECT_EQ(s.number(c.key), c.expected) << c.line.constData();
        EXPECT_EQ(!notes.isEmpty(), c.noted) << c.line.constData();
    }
}

// A dimmed box read from the file must mean "off" to every reader, as it does to the filter.
TEST(SettingsFile, DimmedCheckStateCountsAsNotSet)
{
    for (const int stored : {0, 1, 2}) {
        TempProgramFolder dir;
        dir.write("KESTREL.INI", "[Options]\nchkSFX=" + QByteArray::number(stored) +
                                     "\nchkXOVER=" + QByteArray::number(stored) + "\n");
        SettingsStore s;
        loadSettings(IniFile(dir.file("KESTREL.INI")), s, "/x/", true);
        EXPECT_EQ(s.checked(u"chkSFX"), stored == 1) << stored;
        EXPECT_EQ(s.checked(u"chkXOVER"), stored == 1) << stored;
    }
}

TEST(SettingsFile, IgnoreCsvDisabledWithoutCsvFiles)
{
    TempProgramFolder dir;
    dir.write("KESTREL.INI", "[CSV_Options]\nchkIgnoreCSV=1\n");
    for (const bool loaded : {false, true}) {
        SettingsStore s;
        loadSettings(IniFile(dir.file("KESTREL.INI")), s, "/c/", loaded);
        EXPECT_EQ(s.checked(u"chkIgnoreCSV"), loaded);
        EXPECT_EQ(s.isEnabled(u"chkIgnoreCSV"), loaded);
    }
}

TEST(SettingsFile, CsvPathGetsOneTrailingSeparator)
{
    TempProgramFolder dir;
    const struct {
        QByteArray stored;
        QString expected;
    } cases[] = {{"", "/app/CSV/"}, {"/data/csv", "/data/csv/"}, {" /data/csv/ ", "/data/csv/"}};
    for (const auto &c : cases) {
        dir.write("KESTREL.INI", "[CSV_Options]\nCSV_Path=" + c.stored + "\n");
        EXPECT_EQ(loadCsvPath(IniFile(dir.file("KESTREL.INI")), "/app"), c.expected);
    }
}

TEST(SettingsFile, MaximisedExitKeepsLastNormalPlacement)
{
    TempProgramFolder dir;
    IniFile ini(dir.file("KESTREL.INI"));
    saveWindowPlacement(ini, 0, 10, 20, 9000, 6000);
    saveWindowPlacement(ini, 2, 0, 0, 30000, 20000);
    ASSERT_TRUE(ini.save());
    const WindowPlacement p = loadWindowPlacement(IniFile(dir.file("KESTREL.INI")));
    EXPECT_EQ(p.windowState, 2);
    EXPECT_EQ(p.top, 10);
    EXPECT_EQ(p.left, 20);
    EXPECT_EQ(p.width, 9000);
    EXPECT_EQ(p.height, 6000);
}

TEST(SettingsFile, NoTopMeansCentreAndNothingElseRead)
{
    TempProgramFolder dir;
    dir.write("KESTREL.INI", "[Sizing]\nLeft=5\nWidth=7\nWindowState=2\n");
    const WindowPlacement p = loadWindowPlacement(IniFile(dir.file("KESTREL.INI")));
    EXPECT_FALSE(p.top || p.left || p.width || p.height || p.windowState);
}

TEST(SettingsFile, ColumnWidthFallbacks)
{
    TempProgramFolder dir;
    dir.write("KESTREL.INI", "[columns]\nc1=0\nC2=-5\nC3=abc\nC4=80.6\nC5= 33px\nC6=\nC8=0.4\n");
    const auto w = loadColumnWidths(IniFile(dir.file("KESTREL.INI")));
    const std::array<int, 8> expected{60, 19, 150, 81, 33, 40, 60, 20};
    EXPECT_EQ(w, expected);
}
