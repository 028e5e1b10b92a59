#pragma once

#include "base/settings_key.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QSlider;
class QWidget;

namespace kestrel {

class SettingsStore;

// Each widget edits the setting named by its objectName: it shows the stored value at
// once, writes every change back, and follows changes made elsewhere (a settings load).
void bindCheck(QCheckBox *box, SettingsStore &store);
void bindSlider(QSlider *slider, SettingsStore &store);
void bindLineEdit(QLineEdit *edit, SettingsStore &store);
// A label holds a text setting that only code changes (the folder pickers).
void bindLabel(QLabel *label, SettingsStore &store);

// The whole text is selected whenever the box gets the focus (a click included).
void selectAllOnFocus(QLineEdit *edit);

// New widgets named after their setting and bound to it; a check box takes its
// caption from the settings table, a line edit selects all on focus.
QCheckBox *settingCheck(QWidget *parent, CheckKey key, SettingsStore &store);
QSlider *settingSlider(QWidget *parent, SliderKey key, SettingsStore &store);
QLineEdit *settingEdit(QWidget *parent, TextKey key, SettingsStore &store);

} // namespace kestrel
