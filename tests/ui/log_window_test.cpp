#include "ui_fixture.h"

#include "ui/log_window.h"

#include <QCheckBox>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

using namespace kestrel;
using kestrel::test::UiFixture;

namespace {

struct LogWindowTest : UiFixture {
    LogWindow win{ctx};
    QListWidget *list = nullptr;

    LogWindowTest()
    {
        list = child<QListWidget>(win, "List1");
        ctx.settings.setChecked(u"chkEnableLogging", true);
    }

    QStringList rows() const
    {
        QStringList r;
        for (int i = 0; i < list->count(); ++i)
            r << list->item(i)->text();
        return r;
    }
};

TEST_F(LogWindowTest, ListShowsTheLogNewestFirstWithTheNewestSelected)
{
    const QString messages[] = {QStringLiteral("one"), QStringLiteral("two"), QStringLiteral("three")};
    QStringList expected;
    for (const QString &m : messages) {
        // The user may have selected an older line meanwhile.
        if (list->count() > 0)
            list->setCurrentRow(list->count() - 1);
        clock.advanceMsecs(1000);
        ctx.writeLog(m, true);
        expected.prepend(clock.now().toString(QStringLiteral("HH:mm:ss")) + QStringLiteral("  ") + m);
        EXPECT_EQ(rows(), expected);
        EXPECT_EQ(list->currentRow(), 0);
    }
    ctx.writeLog(QStringLiteral("status only"), false);
    EXPECT_EQ(rows(), expected);
}

TEST_F(LogWindowTest, ClearEmptiesTheListAndCloseOnlyHides)
{
    ctx.writeLog(QStringLiteral("kept until cleared"), true);
    win.show();
    win.close();
    EXPECT_FALSE(win.isVisible());
    EXPECT_EQ(list->count(), 1);

    win.show();
    child<QPushButton>(win, "cmdClose")->click();
    EXPECT_FALSE(win.isVisible());
    EXPECT_EQ(list->count(), 1);

    child<QPushButton>(win, "cmdClear")->click();
    EXPECT_EQ(list->count(), 0);
    EXPECT_TRUE(ctx.log.entries().isEmpty());
    ctx.writeLog(QStringLiteral("after clearing"), true);
    EXPECT_EQ(list->count(), 1);
}

TEST_F(LogWindowTest, DoubleClickShowsTheWholeEntry)
{
    const QString longLine =
        QStringLiteral("Decode Successful: ") + QString(300, QLatin1Char('x')) + QStringLiteral(".jpg");
    ctx.writeLog(longLine, true);
    ctx.writeLog(QStringLiteral("newer"), true);
    win.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&win));
    list->doItemsLayout();
    QListWidgetItem *older = list->item(1);
    const QPoint at = list->visualItemRect(older).center();
    // A double click is a press and release followed by the double-click event.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    ASSERT_EQ(prompter.said.size(), 1u);
    EXPECT_EQ(prompter.said.front(), older->text());
    EXPECT_TRUE(prompter.said.front().endsWith(longLine));
}

// The switches' two-way binding is checked with every other setting by the options
// window test; a window made after the settings were loaded starts from them.
TEST_F(LogWindowTest, NewWindowShowsTheLoadedSwitches)
{
    for (bool on : {true, false}) {
        ctx.settings.setChecked(u"chkLogFile", on);
        LogWindow later(ctx);
        EXPECT_EQ(child<QCheckBox>(later, "chkLogFile")->isChecked(), on);
    }
}

} // namespace
