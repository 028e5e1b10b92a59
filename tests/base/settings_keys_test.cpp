#include "base/settings_store.h"

#include <gtest/gtest.h>

#include <stdexcept>

using namespace kestrel;

// Keys find each row by its own name while compiling (asserted next to the key type);
// widgets and the settings file find rows by name while running, and must land on the
// same row, or a bound widget would edit a different setting than the code reads.
TEST(SettingsKeys, RunTimeLookupFindsEveryRowOfTheTable)
{
    const auto table = settingsTable();
    for (size_t row = 0; row < table.size(); ++row)
        EXPECT_EQ(SettingsStore::indexOf(QString::fromLatin1(table[row].name)), int(row)) << table[row].name;
}

TEST(SettingsKeys, RunTimeLookupRejectsNearMisses)
{
    // Other case, a letter short, a letter over, before the first and after the last name.
    for (const char16_t *name : {u"", u"chkauth", u"chkAut", u"chkAuthX", u"CHKAUTH", u"a", u"zzz"}) {
        SCOPED_TRACE(QString::fromUtf16(name).toStdString());
        EXPECT_EQ(SettingsStore::indexOf(name), -1);
        EXPECT_THROW(SettingsStore::requireIndex(name), std::logic_error);
    }
}

TEST(SettingsKeys, RunTimeAccessRefusesRowsOutsideTheTable)
{
    SettingsStore s;
    for (const int index : {-1, int(settingsTable().size())}) {
        EXPECT_THROW(s.numberAt(index), std::logic_error) << index;
        EXPECT_THROW(s.setNumberAt(index, 1), std::logic_error) << index;
        EXPECT_THROW(s.setTextAt(index, QString()), std::logic_error) << index;
        EXPECT_THROW(s.isEnabledAt(index), std::logic_error) << index;
    }
}
