#pragma once

#include "base/context.h"
#include "support/temp_program_folder.h"

#include <QAbstractButton>
#include <QDir>
#include <QLabel>
#include <QWidget>
#include <gtest/gtest.h>

namespace kestrel::test {

// A program folder with an sfx folder whose sounds exist, so that the player records
// what it was asked to play (it plays nothing: no player program).
struct UiFixture : ::testing::Test {
    TempProgramFolder dir;
    ManualClock clock{QDateTime(QDate(2026, 3, 4), QTime(9, 9, 5))};
    RecordingPrompter prompter;
    Context ctx{dir.path(), &clock, &prompter};

    UiFixture()
    {
        for (const char *name : {"startup.wav", "hi.wav"})
            dir.write(QStringLiteral("sfx/") + QLatin1String(name), "RIFF");
    }

    template <typename T> static T *child(const QWidget &w, const char *name)
    {
        T *found = w.findChild<T *>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    static void click(const QWidget &w, const char *button) { child<QAbstractButton>(w, button)->click(); }
    static QString labelText(const QWidget &w, const char *label) { return child<QLabel>(w, label)->text(); }
};

} // namespace kestrel::test
