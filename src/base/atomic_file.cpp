#include "base/atomic_file.h"

#include <QFile>
#include <QSaveFile>

namespace kestrel {

bool writeFileAtomic(const QString &path, const QByteArray &data, bool ownerOnly)
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    if (ownerOnly)
        f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (f.write(data) != data.size()) {
        f.cancelWriting();
        return false;
    }
    return f.commit();
}

bool appendToFile(const QString &path, const QByteArray &data)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    return f.write(data) == data.size();
}

} // namespace kestrel
