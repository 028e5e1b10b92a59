#include "decode/csv_index.h"

#include "base/context.h"
#include "base/ini_file.h"
#include "support/temp_program_folder.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

using namespace kestrel;
using kestrel::test::TempProgramFolder;

namespace {

struct CsvLoadFixture : ::testing::Test {
    TempProgramFolder dir;
    ManualClock clock;
    RecordingPrompter prompter;
    Context ctx{dir.path(), &clock, &prompter};
    CsvIndex index;
    QStringList shown;
    int abortAfter = -1; // abort once this many files were loaded
    int loadedSoFar = 0;

    CsvLoadHooks hooks()
    {
        return CsvLoadHooks{[this](const QString &t) { shown << t; },
                            [this] { return ++loadedSoFar == abortAfter; }};
    }
    void load() { index.loadCsvIndex(ctx, IniFile(dir.file("KESTREL.INI")), hooks()); }
    void writeCsv(const QString &name, const QByteArray &text)
    {
        QDir(dir.path()).mkpath(QStringLiteral("CSV"));
        dir.write(QStringLiteral("CSV/") + name, text);
    }
    std::vector<QString> boxes() const { return {prompter.said.begin(), prompter.said.end()}; }
};

} // namespace

// Only a folder the user chose is missed aloud; the default one may well not exist.
TEST_F(CsvLoadFixture, MissingOrEmptyFolderLoadsNothing)
{
    struct Case {
        const char *ini; // %P: the program folder
        const char *folder;
        std::vector<QString> boxes;
        bool otherFile; // the folder exists and holds a file that is no CSV file
    } cases[] = {
        {"[CSV_Options]\nCSV_Path=%P/gone\n", "/gone/", {"CSV path not found?  Path not found"}, false},
        {"", "/CSV/", {}, false},
        {"[CSV_Options]\nCSV_Path=%P/CSV/\n", "/CSV/", {}, false}, // saved back by an earlier run
        {"", "/CSV/", {}, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.ini);
        if (c.otherFile)
            writeCsv("notes.txt", "A.JPG,1,2,3\r\n");
        prompter.said.clear();
        dir.write("KESTREL.INI", QByteArray(c.ini).replace("%P", dir.path().toUtf8()));
        load();
        EXPECT_EQ(ctx.state.csvPath, dir.path() + c.folder);
        EXPECT_FALSE(index.csvLoaded());
        EXPECT_EQ(boxes(), c.boxes);
        EXPECT_TRUE(shown.isEmpty());
    }
}

TEST_F(CsvLoadFixture, FilesLoadInNameOrderAndTheFirstWins)
{
    writeCsv("b_Second_x.csv", "A.JPG,1,0,second\r\nB.JPG,1,0,x\r\n");
    writeCsv("A_First_x.CSV", "a.jpg,1,0,first\r\n");
    load();
    EXPECT_TRUE(index.csvLoaded());
    EXPECT_EQ(shown, QStringList({"A_First_x.CSV", "b_Second_x.csv", " 2 CSV files loaded."}));
    EXPECT_EQ(index.csvFindRecord("A.JPG"), "a.jpg,1,0,first\rA_First_x");
    EXPECT_EQ(index.csvFindRecord("B.JPG"), "B.JPG,1,0,x\rb_Second_x");
}

TEST_F(CsvLoadFixture, AbortStopsAfterTheCurrentFile)
{
    writeCsv("a.CSV", "A.JPG,1,0,x\r\n");
    writeCsv("b.CSV", "B.JPG,1,0,x\r\n");
    writeCsv("c.CSV", "C.JPG,1,0,x\r\n");
    abortAfter = 2;
    load();
    EXPECT_EQ(index.csvCount(), 2);
    EXPECT_EQ(shown, QStringList({"a.CSV", "b.CSV", " 2 CSV files loaded."}));
    EXPECT_NE(index.csvFindRecord("B.JPG"), "");
    EXPECT_EQ(index.csvFindRecord("C.JPG"), "");
}

TEST_F(CsvLoadFixture, PathComesFromSettingsFile)
{
    QDir(dir.path()).mkpath("elsewhere");
    dir.write("elsewhere/x_y_z.CSV", "A.JPG,1,0,x\r\n");
    dir.write("KESTREL.INI",
              "[CSV_Options]\r\nCSV_Path=" + QFile::encodeName(dir.file("elsewhere")) + "\r\n");
    load();
    EXPECT_EQ(ctx.state.csvPath, dir.file("elsewhere/"));
    EXPECT_EQ(shown, QStringList({"x_y_z.CSV", " 1 CSV file loaded."}));
    EXPECT_EQ(index.csvFindRecord("a.jpg"), "A.JPG,1,0,x\rx_y_z");
}

TEST_F(CsvLoadFixture, UnreadableFileEndsTheLoadKeepingEarlierFiles)
{
    writeCsv("a.CSV", "A.JPG,1,0,x\r\n");
    // Reading a process's own memory from offset 0 fails with an I/O error.
    ASSERT_TRUE(QFile::link("/proc/self/mem", dir.file("CSV/b.CSV")));
    writeCsv("c.CSV", "C.JPG,1,0,x\r\n");
    load();
    EXPECT_TRUE(index.csvLoaded());
    EXPECT_NE(index.csvFindRecord("A.JPG"), "");
    EXPECT_EQ(index.csvFindRecord("C.JPG"), "");
    ASSERT_EQ(prompter.said.size(), 1u);
    EXPECT_TRUE(prompter.said.front().startsWith("CSV path not found?  "))
        << prompter.said.front().toStdString();
    EXPECT_GT(prompter.said.front().size(), QString("CSV path not found?  ").size());
    EXPECT_EQ(shown, QStringList({"a.CSV", "b.CSV"}));
}
