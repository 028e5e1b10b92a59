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
    // Sorted names, searched without building a string: bindings look names up often.
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

int SettingsStore::requireIndex(QStringView name)
{
    const int i = indexOf(name);
    if (i < 0)
        throw std::logic_error("unknown setting " + name.toString().toStdString());
    return i;
}

const SettingDef &SettingsStore::def(int index)
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
    m_slots[size_t(CheckKey(u"chkSpamScan").index())].enabled = false;
}

size_t SettingsStore::checkedRow(int index) const
{
    if (index < 0 || size_t(index) >= m_slots.size())
        throw std::logic_error("unknown setting");
    return size_t(index);
}

int SettingsStore::numberAt(int index) const
{
    return m_slots[checkedRow(index)].number;
}

QString SettingsStore::textAt(int index) const
{
    return m_slots[checkedRow(index)].text;
}

bool SettingsStore::setNumberAt(int index, int value)
{
    Slot &s = m_slots[checkedRow(index)];
    const SettingDef &d = def(index);
    const int fitted = std::clamp(value, d.min, d.max);
    if (s.number != fitted) {
        s.number = fitted;
        Q_EMIT changed(QString::fromLatin1(d.name));
    }
    return fitted == value;
}

void SettingsStore::setTextAt(int index, const QString &value)
{
    Slot &s = m_slots[checkedRow(index)];
    if (s.text != value) {
        s.text = value;
        Q_EMIT changed(QString::fromLatin1(def(index).name));
    }
}

bool SettingsStore::isEnabledAt(int index) const
{
    return m_slots[checkedRow(index)].enabled;
}

void SettingsStore::setEnabledAt(int index, bool enabled)
{
    Slot &s = m_slots[checkedRow(index)];
    if (s.enabled != enabled) {
        s.enabled = enabled;
        Q_EMIT enabledChanged(QString::fromLatin1(def(index).name), enabled);
    }
}

} // namespace kestrel
