#include "base/main_display.h"

#include <algorithm>
#include <stdexcept>

namespace kestrel {

MainDisplay::MainDisplay(QObject *parent) : QObject(parent)
{
    m_bars[2].visible = false; // the download bar shows only while a download runs
}

void MainDisplay::setGroupText(const QString &text)
{
    if (text == m_groupText)
        return;
    m_groupText = text;
    Q_EMIT groupTextChanged(text);
}

const MainDisplay::Bar &MainDisplay::bar(int bar) const
{
    if (bar < 1 || bar > 3)
        throw std::out_of_range("progress bar number");
    return m_bars[size_t(bar - 1)];
}

MainDisplay::Bar &MainDisplay::barRef(int bar)
{
    return const_cast<Bar &>(std::as_const(*this).bar(bar));
}

void MainDisplay::setBarValue(int bar, int value)
{
    Bar &b = barRef(bar);
    const int v = std::clamp(value, 0, std::max(0, b.maximum));
    if (v == b.value)
        return;
    b.value = v;
    Q_EMIT barChanged(bar);
}

void MainDisplay::setBarMaximum(int bar, int maximum)
{
    Bar &b = barRef(bar);
    maximum = std::max(0, maximum);
    if (maximum == b.maximum)
        return;
    b.maximum = maximum;
    b.value = std::min(b.value, maximum);
    Q_EMIT barChanged(bar);
}

void MainDisplay::setBarVisible(int bar, bool visible)
{
    Bar &b = barRef(bar);
    if (visible == b.visible)
        return;
    b.visible = visible;
    Q_EMIT barChanged(bar);
}

void MainDisplay::setScanEnabled(bool enabled)
{
    if (enabled == m_scanEnabled)
        return;
    m_scanEnabled = enabled;
    Q_EMIT scanEnabledChanged(enabled);
}

void MainDisplay::setDownloadLightBusy(bool busy)
{
    if (busy == m_lightBusy)
        return;
    m_lightBusy = busy;
    Q_EMIT downloadLightChanged(busy);
}

void MainDisplay::setBusy(bool busy)
{
    if (busy == m_busy)
        return;
    m_busy = busy;
    Q_EMIT busyChanged(busy);
}

void MainDisplay::setCounter(const QString &label, qint64 value)
{
    auto it = m_counters.find(label);
    if (it != m_counters.end() && *it == value)
        return;
    m_counters.insert(label, value);
    Q_EMIT counterChanged(label, value);
}

} // namespace kestrel
