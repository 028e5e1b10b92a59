#include "decode/descript_ion.h"

#include <QFile>

namespace kestrel {

QByteArray descriptIonLine(const QByteArray &fileName, const QByteArray &description)
{
    QByteArray text = description;
    text.replace('\r', ' ').replace('\n', ' ');
    return fileName + ' ' + text + "\r\n";
}

QString appendDescriptIon(const QString &folder, const QByteArray &fileName, const QByteArray &description)
{
    QFile f(folder + QStringLiteral("descript.ion"));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Append))
        return f.errorString();
    const QByteArray line = descriptIonLine(fileName, description);
    if (f.write(line) != line.size())
        return f.errorString();
    return {};
}

} // namespace kestrel
