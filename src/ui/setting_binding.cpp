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
    w->setEnabled(store.isEnabled(name));
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
    const QString name = box->objectName();
    // Stored values are 0 unchecked, 1 checked, 2 greyed; Qt numbers the last two the
    // other way round.
    const auto load = [box, &store, name] {
        const int v = store.checkState(name);
        box->setCheckState(v == 0 ? Qt::Unchecked : v == 2 ? Qt::PartiallyChecked : Qt::Checked);
    };
    load();
    followEnabled(box, store);
    QObject::connect(box, &QCheckBox::stateChanged, &store, [&store, name](int state) {
        store.setNumber(name, state == Qt::Checked ? 1 : state == Qt::PartiallyChecked ? 2 : 0);
    });
    followSetting(box, store, load);
}

void bindSlider(QSlider *slider, SettingsStore &store)
{
    const QString name = slider->objectName();
    const SettingDef &d = store.def(SettingsStore::indexOf(name));
    slider->setRange(d.min, d.max);
    const auto load = [slider, &store, name] { slider->setValue(store.slider(name)); };
    load();
    QObject::connect(slider, &QSlider::valueChanged, &store,
                     [&store, name](int v) { store.setNumber(name, v); });
    followSetting(slider, store, load);
}

void bindLineEdit(QLineEdit *edit, SettingsStore &store)
{
    const QString name = edit->objectName();
    const auto load = [edit, &store, name] {
        if (edit->text() != store.text(name))
            edit->setText(store.text(name));
    };
    load();
    QObject::connect(edit, &QLineEdit::textChanged, &store,
                     [&store, name](const QString &t) { store.setText(name, t); });
    followSetting(edit, store, load);
}

void bindLabel(QLabel *label, SettingsStore &store)
{
    const QString name = label->objectName();
    const auto load = [label, &store, name] { label->setText(store.text(name)); };
    load();
    followSetting(label, store, load);
}

void selectAllOnFocus(QLineEdit *edit)
{
    edit->installEventFilter(new SelectAllOnFocus(edit));
}

QCheckBox *settingCheck(QWidget *parent, const char *name, SettingsStore &store)
{
    const SettingDef &d = store.def(SettingsStore::indexOf(QString::fromLatin1(name)));
    auto *box = new QCheckBox(QString::fromLatin1(d.caption), parent);
    box->setObjectName(QString::fromLatin1(name));
    bindCheck(box, store);
    return box;
}

QSlider *settingSlider(QWidget *parent, const char *name, SettingsStore &store)
{
    auto *slider = new QSlider(Qt::Horizontal, parent);
    slider->setObjectName(QString::fromLatin1(name));
    bindSlider(slider, store);
    return slider;
}

QLineEdit *settingEdit(QWidget *parent, const char *name, SettingsStore &store)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    bindLineEdit(edit, store);
    selectAllOnFocus(edit);
    return edit;
}

} // namespace kestrel
