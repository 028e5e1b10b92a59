#include "base/app_path.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace kestrel {

QString resolveAppPath(const QString &homeArgument, const QString &executableDir)
{
    QString chosen = homeArgument;
    if (chosen.isEmpty())
        chosen = qEnvironmentVariable("KESTREL_HOME");
    if (chosen.isEmpty() && !executableDir.isEmpty() &&
        QFileInfo(executableDir + QStringLiteral("/KESTREL.INI")).isFile())
        chosen = executableDir;
    if (chosen.isEmpty()) {
        const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
        if (data.isEmpty())
            return {};
        chosen = data + QStringLiteral("/kestrel");
    }
    QDir dir(chosen);
    if (!dir.exists() && !QDir().mkpath(chosen))
        return {};
    QString path = QDir::cleanPath(dir.absolutePath());
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path;
}

} // namespace kestrel
