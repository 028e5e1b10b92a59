#include "base/clock.h"
#include "base/log_text.h"
#include "base/operations_log.h"
#include "base/settings_store.h"
#include "support/temp_program_folder.h"

#include <gtest/gtest.h>

using namespace kestrel;
using kestrel::test::TempProgramFolder;

namespace {

struct LogFixture : ::testing::Test {
    TempProgramFolder dir;
    SettingsStore settings;
    ManualClock clock{QDateTime(QDate(2026, 3, 4), QTime(9, 9, 5))};
    OperationsLog log{settings, clock, dir.file("OPSLOG.TXT")};

    LogFixture()
    {
        settings.setChecked(u"chkEnableLogging", true);
        settings.setChecked(u"chkLogFile", true);
    }
};

} // namespace

TEST_F(LogFixture, SwitchesDecideWhereMessagesGo)
{
    struct Case {
        bool enable, file, toLog;
        int listEntries;
        bool fileWritten;
    };
    const Case cases[] = {
        {false, true, true, 0, false},
        {true, true, false, 0, false},
        {true, false, true, 1, false},
        {true, true, true, 1, true},
    };
    for (const Case &c : cases) {
        QFile::remove(dir.file("OPSLOG.TXT"));
        log.clear();
        settings.setChecked(u"chkEnableLogging", c.enable);
        settings.setChecked(u"chkLogFile", c.file);
        log.writeLog(QStringLiteral("hello"), c.toLog);
        EXPECT_EQ(log.statusLine(), "hello");
        EXPECT_EQ(log.entries().size(), c.listEntries);
        EXPECT_EQ(dir.exists("OPSLOG.TXT"), c.fileWritten);
    }
}

TEST_F(LogFixture, EntryFormatAndCarriageReturnCut)
{
    log.writeLog(QStringLiteral("  some words \r\nmore text"), true);
    ASSERT_EQ(log.entries().size(), 1);
    EXPECT_EQ(log.entries().front(), "09:09:05  some words");
    EXPECT_EQ(log.statusLine(), "some words");
    const QByteArray line = dir.read("OPSLOG.TXT");
    EXPECT_TRUE(line.endsWith(" 09:09:05  some words\r\n")) << line.constData();
    EXPECT_EQ(line.count("\r\n"), 1);

    // A file that cannot be written does not disturb the caller.
    QFile::remove(dir.file("OPSLOG.TXT"));
    QDir().mkpath(dir.file("OPSLOG.TXT"));
    log.writeLog(QStringLiteral("still shown"), true);
    EXPECT_EQ(log.entries().size(), 2);
    EXPECT_EQ(log.statusLine(), "still shown");
}

TEST_F(LogFixture, ListKeepsNewest99)
{
    for (int i = 1; i <= 150; ++i)
        log.writeLog(QString::number(i), true);
    ASSERT_EQ(log.entries().size(), 99);
    EXPECT_EQ(log.entries().front(), "09:09:05  150");
    EXPECT_EQ(log.entries().back(), "09:09:05  52");
}

// Server text inside a message must not drive a terminal (escape sequences, the bell)
// nor flood the log: every output gets the same safe, bounded text.
TEST_F(LogFixture, ControlCharactersAreShownAndLongTextCut)
{
    QStringList echoed;
    QObject::connect(&log, &OperationsLog::logged, [&](const QString &, const QString &m) { echoed << m; });
    const QString huge = QStringLiteral("200 ") + QString(10'000'000, QLatin1Char('y'));
    const struct {
        QString in;
        QString out;
    } cases[] = {
        {QStringLiteral("200 \x1b]0;owned\x07 news\x1b[2J"),
         QStringLiteral("200 \\x1b]0;owned\\x07 news\\x1b[2J")},
        {QStringLiteral("a\tb\nc") + QChar(0x9b) + QChar(0x7f) + QChar(0xe9),
         QStringLiteral("a\\x09b\\x0ac\\x9b\\x7f") + QChar(0xe9)},
        {huge, huge.left(MaxLoggedLength) + QStringLiteral("... (9999504 more characters)")},
        {QString(MaxLoggedLength - 1, QLatin1Char('x')) + QString::fromUtf8("\xf0\x9f\x98\x80tail"),
         QString(MaxLoggedLength - 1, QLatin1Char('x')) + QStringLiteral("... (6 more characters)")},
    };
    for (const auto &c : cases) {
        QFile::remove(dir.file("OPSLOG.TXT"));
        echoed.clear();
        log.writeLog(c.in, true);
        EXPECT_EQ(log.statusLine(), c.out);
        EXPECT_EQ(log.entries().front(), "09:09:05  " + c.out);
        EXPECT_EQ(echoed, QStringList{c.out});
        EXPECT_TRUE(dir.read("OPSLOG.TXT").endsWith("  " + c.out.toUtf8() + "\r\n"));
    }
}
