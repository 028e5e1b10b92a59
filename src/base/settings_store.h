#pragma once

#include "base/settings_key.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <vector>

namespace kestrel {

// The live store of every setting. Code reads a setting at the moment it needs it, so
// a change made in a window takes effect at once.
class SettingsStore : public QObject {
    Q_OBJECT
public:
    explicit SettingsStore(QObject *parent = nullptr);

    // Typed access: the key has found its row while compiling. Only a tick counts as
    // set; the dimmed third state (2) does not, wherever the setting is read.
    bool checked(CheckKey key) const { return slot(key).number == 1; }
    int checkState(CheckKey key) const { return slot(key).number; }
    int slider(SliderKey key) const { return slot(key).number; }
    int number(NumberKey key) const { return slot(key).number; }
    QString text(TextKey key) const { return slot(key).text; }

    // Store a check state (0, 1 or 2) or a slider position, clamped into its range.
    // Returns false when the value had to be changed to fit.
    bool setNumber(NumberKey key, int value) { return setNumberAt(key.index(), value); }
    void setChecked(CheckKey key, bool on) { setNumber(key, on ? 1 : 0); }
    void setText(TextKey key, const QString &value) { setTextAt(key.index(), value); }

    // Only check boxes follow the enabled state, so only check keys carry it.
    bool isEnabled(CheckKey key) const { return slot(key).enabled; }
    void setEnabled(CheckKey key, bool enabled) { setEnabledAt(key.index(), enabled); }

    // Run-time access by row of settingsTable(), for code that has a setting's name only
    // while running (widgets bound by objectName, the settings file walking the table).
    // An index outside the table throws std::logic_error.
    static int indexOf(QStringView name);      // -1 when unknown
    static int requireIndex(QStringView name); // throws std::logic_error when unknown
    static const SettingDef &def(int index);
    int numberAt(int index) const;
    QString textAt(int index) const;
    bool setNumberAt(int index, int value);
    void setTextAt(int index, const QString &value);
    bool isEnabledAt(int index) const;
    void setEnabledAt(int index, bool enabled);

    void resetToDefaults();

Q_SIGNALS:
    void changed(const QString &name);
    void enabledChanged(const QString &name, bool enabled);

private:
    struct Slot {
        int number = 0;
        QString text;
        bool enabled = true;
    };
    template <SettingKind... Kinds> const Slot &slot(SettingKey<Kinds...> key) const
    {
        return m_slots[std::size_t(key.index())];
    }
    size_t checkedRow(int index) const;

    std::vector<Slot> m_slots;
};

} // namespace kestrel
