#include "ui/setting_binding.h"

#include "base/settings_store.h"

#include <QCheckBox>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QTimer>

namespace kestrel {

namespace {

// Runs f whenever the setting of the widget's name changes in the store.
template <typename F> void followSetting(QWidget *w, SettingsStore &store, F f)
{
    const QString name = w->objectName();
    QObject::connect(&store, &SettingsStore::changed, w, [name, f](const QString &changed) {
        if (changed == name)
            f();
    });
}

void followEnabled(QWidget *w, SettingsStore &store)
{
    const QString name = w->objectName();
    w->setEnabled(store.isEnabledAt(SettingsStore::requireIndex(name)));
    QObject::connect(&store, &SettingsStore::enabledChanged, w, [w, name](const QString &changed, bool on) {
        if (changed == name)
            w->setEnabled(on);
    });
}

class SelectAllOnFocus : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::FocusIn) {
            // Deferred: the click that gave the focus would place the cursor afterwards.
            auto *edit = static_cast<QLineEdit *>(watched);
            QTimer::singleShot(0, edit, [edit] {
                if (!edit->text().isEmpty())
                    edit->selectAll();
            });
        }
        return false;
    }
};

} // namespace

void bindCheck(QCheckBox *box, SettingsStore &store)
{
    const int index = SettingsStore::requireIndex(box->objectName());
    // Stored values are 0 unchecked, 1 checked, 2 greyed; Qt numbers the last two the
    // other way round.
    const auto load = [box, &store, index] {
        const int v = store.numberAt(index);
        box->setCheckState(v == 0 ? Qt::Unchecked : v == 2 ? Qt::PartiallyChecked : Qt::Checked);
    };
    load();
    followEnabled(box, store);
    QObject::connect(box, &QCheckBox::stateChanged, &store, [&store, index](int state) {
        store.setNumberAt(index, state == Qt::Checked ? 1 : state == Qt::PartiallyChecked ? 2 : 0);
    });
    followSetting(box, store, load);
}

void bindSlider(QSlider *slider, SettingsStore &store)
{
    const int index = SettingsStore::requireIndex(slider->objectName());
    const SettingDef &d = SettingsStore::def(index);
    slider->setRange(d.min, d.max);
    const auto load = [slider, &store, index] { slider->setValue(store.numberAt(index)); };
    load();
    QObject::connect(slider, &QSlider::valueChanged, &store,
                     [&store, index](int v) { store.setNumberAt(index, v); });
    followSetting(slider, store, load);
}

void bindLineEdit(QLineEdit *edit, SettingsStore &store)
{
    const int index = SettingsStore::requireIndex(edit->objectName());
    const auto load = [edit, &store, index] {
        if (edit->text() != store.textAt(index))
            edit->setText(store.textAt(index));
    };
    load();
    QObject::connect(edit, &QLineEdit::textChanged, &store,
                     [&store, index](const QString &t) { store.setTextAt(index, t); });
    followSetting(edit, store, load);
}

void bindLabel(QLabel *label, SettingsStore &store)
{
    const int index = SettingsStore::requireIndex(label->objectName());
    const auto load = [label, &store, index] { label->setText(store.textAt(index)); };
    load();
    followSetting(label, store, load);
}

void selectAllOnFocus(QLineEdit *edit)
{
    edit->installEventFilter(new SelectAllOnFocus(edit));
}

QCheckBox *settingCheck(QWidget *parent, CheckKey key, SettingsStore &store)
{
    auto *box = new QCheckBox(QString::fromLatin1(key.def().caption), parent);
    box->setObjectName(QString::fromLatin1(key.def().name));
    bindCheck(box, store);
    return box;
}

QSlider *settingSlider(QWidget *parent, SliderKey key, SettingsStore &store)
{
    auto *slider = new QSlider(Qt::Horizontal, parent);
    slider->setObjectName(QString::fromLatin1(key.def().name));
    bindSlider(slider, store);
    return slider;
}

QLineEdit *settingEdit(QWidget *parent, TextKey key, SettingsStore &store)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(key.def().name));
    bindLineEdit(edit, store);
    selectAllOnFocus(edit);
    return edit;
}

} // namespace kestrel
