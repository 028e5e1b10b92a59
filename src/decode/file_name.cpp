#include "decode/file_name.h"

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
    // Dots and blanks alternate in hostile names (". . ./x"): strip them together.
    qsizetype from = 0;
    while (from < clean.size() && (clean.at(from) == '.' || clean.at(from) == ' '))
        ++from;
    return clean.mid(from).trimmed();
}

} // namespace kestrel
