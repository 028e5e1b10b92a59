#pragma once

#include "base/settings_table.h"

#include <concepts>
#include <cstddef>

namespace kestrel {

namespace settingKeyErrors {
// Not constexpr on purpose: a key whose lookup reaches one of these cannot be built at
// compile time, so the build stops and the compiler's message names the reason.
inline void noSettingOfThisName() {}
inline void settingIsOfAnotherKind() {}
} // namespace settingKeyErrors

// Row of the setting called name in kSettingsTable, or -1.
template <typename Char> consteval int settingRow(const Char *name)
{
    for (std::size_t row = 0; row < kSettingsTable.size(); ++row) {
        const char *own = kSettingsTable[row].name;
        std::size_t i = 0;
        // Stops at the first difference, so neither name is read past its end.
        while (own[i] != 0 && Char(own[i]) == name[i])
            ++i;
        if (own[i] == 0 && name[i] == 0)
            return int(row);
    }
    return -1;
}

// A name found only once is what makes a key's row the row of that name.
consteval bool everySettingNameIsItsOwnRow()
{
    for (std::size_t row = 0; row < kSettingsTable.size(); ++row) {
        if (settingRow(kSettingsTable[row].name) != int(row))
            return false;
    }
    return true;
}
static_assert(everySettingNameIsItsOwnRow(), "two rows of the settings table share a name");

// A setting named by a string literal that is looked up in the table while compiling:
// an unknown name, or a setting of a kind the key does not allow, fails the build. The
// key holds the row, so reading through it costs no search.
template <SettingKind... Kinds> class SettingKey {
public:
    static constexpr bool allows(SettingKind kind) { return ((kind == Kinds) || ...); }

    template <typename Char, std::size_t N>
    requires std::same_as<Char, char> || std::same_as<Char, char16_t>
    consteval SettingKey(const Char (&name)[N]) : m_row(settingRow(name))
    {
        if (m_row < 0)
            settingKeyErrors::noSettingOfThisName();
        else if (!allows(kSettingsTable[std::size_t(m_row)].kind))
            settingKeyErrors::settingIsOfAnotherKind();
    }

    // A key of fewer kinds serves where more are allowed (a check key as a number key).
    template <SettingKind... Others>
    requires(sizeof...(Others) < sizeof...(Kinds) &&
             (allows(Others) && ...)) constexpr SettingKey(SettingKey<Others...> narrower)
        : m_row(narrower.index())
    {
    }

    constexpr int index() const { return m_row; }
    constexpr const SettingDef &def() const { return kSettingsTable[std::size_t(m_row)]; }

private:
    int m_row;
};

using CheckKey = SettingKey<SettingKind::Check>;
using SliderKey = SettingKey<SettingKind::Slider>;
using TextKey = SettingKey<SettingKind::Text>;
// A check state or a slider position: both are stored as numbers.
using NumberKey = SettingKey<SettingKind::Check, SettingKind::Slider>;

} // namespace kestrel
