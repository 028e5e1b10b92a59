#include "decode/work_file.h"

#include <QFile>

namespace kestrel {

WorkFileText readWorkFile(const QString &path, qint64 limit)
{
    WorkFileText result;
    QFile file(path);
    if (!file.exists()) {
        result.missing = true;
        return result;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        result.error = file.errorString();
        return result;
    }
    result.bytes = limit < 0 ? file.readAll() : file.read(limit);
    if (file.error() != QFileDevice::NoError)
        result.error = file.errorString();
    return result;
}

} // namespace kestrel
