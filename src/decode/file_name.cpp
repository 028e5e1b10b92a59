#include "file_name.h"

namespace kestrel {

QByteArray sanitizeFileName(const QByteArray &name)
{
    const qsizetype cut = std::max(name.lastIndexOf('/'), name.lastIndexOf('\\'));
    QByteArray base = name.mid(cut + 1);
    QByteArray clean;
    clean.reserve(base.size());
    for (char ch : base) {
        const auto c = static_cast<unsigned char>(ch);
        if (c >= 32 && c != 127)
            clean.append(ch);
    }
    clean = clean.trimmed();
    qsizetype dots = 0;
    while (dots < clean.size() && clean.at(dots) == '.')
        ++dots;
    return clean.mid(dots).trimmed();
}

} // namespace kestrel
