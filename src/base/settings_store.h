#pragma once

#include "base/settings_table.h"

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

    // Index of a setting in settingsTable(); -1 when unknown. Hot paths cache it.
    static int indexOf(QStringView name);
    const SettingDef &def(int index) const;

    bool checked(QStringView name) const { return number(indexOf(name)) != 0; }
    int checkState(QStringView name) const { return number(indexOf(name)); }
    int slider(QStringView name) const { return number(indexOf(name)); }
    QString text(QStringView name) const { return textAt(indexOf(name)); }

    int number(int index) const;
    QString textAt(int index) const;

    // Store a check state (0, 1 or 2) or a slider position, clamped into its range.
    // Returns false when the value had to be changed to fit.
    bool setNumber(QStringView name, int value);
    void setChecked(QStringView name, bool on) { setNumber(name, on ? 1 : 0); }
    void setText(QStringView name, const QString &value);

    bool isEnabled(QStringView name) const;
    void setEnabled(QStringView name, bool enabled);

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
    int requireIndex(QStringView name) const;
    std::vector<Slot> m_slots;
};

} // namespace kestrel
