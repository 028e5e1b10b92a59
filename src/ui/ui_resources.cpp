#include "ui/ui_resources.h"

#include <QtGlobal>

// Outside any namespace: the macro declares a function of the global namespace.
static void registerKestrelResources()
{
    Q_INIT_RESOURCE(kestrel);
}

namespace kestrel {

void initUiResources()
{
    static const bool done = (registerKestrelResources(), true);
    Q_UNUSED(done);
}

namespace {
QIcon iconInSizes(const QString &name, std::initializer_list<int> sizes)
{
    initUiResources();
    QIcon icon;
    for (int size : sizes)
        icon.addFile(QStringLiteral(":/kestrel/icons/%1-%2.png").arg(name).arg(size), QSize(size, size));
    return icon;
}
} // namespace

QIcon applicationIcon()
{
    return iconInSizes(QStringLiteral("kestrel"), {16, 32, 64, 128});
}

QIcon optionsIcon()
{
    return iconInSizes(QStringLiteral("options"), {16, 32, 64});
}

} // namespace kestrel
