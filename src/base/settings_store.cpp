#include "base/settings_store.h"

#include <algorithm>
#include <stdexcept>

namespace kestrel {

SettingsStore::SettingsStore(QObject *parent) : QObject(parent)
{
    resetToDefaults();
}

int SettingsStore::indexOf(QStringView name)
{
    // Sorted names, searched without building a string: settings are read on hot paths.
    struct Entry {
        QString name;
        int index;
    };
    static const std::vector<Entry> sorted = [] {
        std::vector<Entry> v;
        const auto table = settingsTable();
        for (int i = 0; i < int(table.size()); ++i)
            v.push_back({QString::fromLatin1(table[i].name), i});
        std::sort(v.begin(), v.end(), [](const Entry &a, const Entry &b) { return a.name < b.name; });
        return v;
    }();
    const auto it = std::lower_bound(sorted.begin(), sorted.end(), name,
                                     [](const Entry &e, QStringView n) { return QStringView(e.name) < n; });
    return it != sorted.end() && QStringView(it->name) == name ? it->index : -1;
}

int SettingsStore::requireIndex(QStringView name) const
{
    const int i = indexOf(name);
    if (i < 0)
        throw std::logic_error("unknown setting " + name.toString().toStdString());
    return i;
}

const SettingDef &SettingsStore::def(int index) const
{
    return settingsTable()[size_t(index)];
}

void SettingsStore::resetToDefaults()
{
    const auto table = settingsTable();
    m_slots.assign(table.size(), Slot{});
    for (size_t i = 0; i < table.size(); ++i) {
        m_slots[i].number = table[i].defaultNumber;
        if (table[i].defaultText)
            m_slots[i].text = QString::fromLatin1(table[i].defaultText);
    }
    m_slots[size_t(indexOf(u"chkSpamScan"))].enabled = false;
}

int SettingsStore::number(int index) const
{
    if (index < 0)
        throw std::logic_error("unknown setting");
    return m_slots[size_t(index)].number;
}

QString SettingsStore::textAt(int index) const
{
    if (index < 0)
        throw std::logic_error("unknown setting");
    return m_slots[size_t(index)].text;
}

bool SettingsStore::setNumber(QStringView name, int value)
{
    const int i = requireIndex(name);
    const SettingDef &d = def(i);
    const int fitted = std::clamp(value, d.min, d.max);
    Slot &s = m_slots[size_t(i)];
    if (s.number != fitted) {
        s.number = fitted;
        Q_EMIT changed(QString::fromLatin1(d.name));
    }
    return fitted == value;
}

void SettingsStore::setText(QStringView name, const QString &value)
{
    const int i = requireIndex(name);
    Slot &s = m_slots[size_t(i)];
    if (s.text != value) {
        s.text = value;
        Q_EMIT changed(QString::fromLatin1(def(i).name));
    }
}

bool SettingsStore::isEnabled(QStringView name) const
{
    return m_slots[size_t(requireIndex(name))].enabled;
}

void SettingsStore::setEnabled(QStringView name, bool enabled)
{
    const int i = requireIndex(name);
    if (m_slots[size_t(i)].enabled != enabled) {
        m_slots[size_t(i)].enabled = enabled;
        Q_EMIT enabledChanged(QString::fromLatin1(def(i).name), enabled);
    }
}

} // namespace kestrel
