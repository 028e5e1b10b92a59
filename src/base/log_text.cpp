#include "base/log_text.h"

#include <algorithm>

namespace kestrel {

namespace {

bool isControl(QChar c)
{
    const char16_t u = c.unicode();
    return u < 0x20 || (u >= 0x7f && u <= 0x9f);
}

} // namespace

QString loggableText(const QString &text)
{
    // Nearly every line is already fit to log: it is shared, not copied character by
    // character (the log takes a line per header and per progress step).
    if (text.size() <= MaxLoggedLength && std::none_of(text.cbegin(), text.cend(), isControl))
        return text;
    qsizetype kept = std::min(text.size(), MaxLoggedLength);
    if (kept < text.size() && kept > 0 && text.at(kept - 1).isHighSurrogate())
        --kept; // never half a character
    QString out;
    out.reserve(kept + 32);
    for (qsizetype i = 0; i < kept; ++i) {
        const QChar c = text.at(i);
        if (isControl(c))
            out +=
                QStringLiteral("\\x") + QString::number(c.unicode(), 16).rightJustified(2, QLatin1Char('0'));
        else
            out += c;
    }
    if (kept < text.size())
        out += QStringLiteral("... (") + QString::number(text.size() - kept) +
               QStringLiteral(" more characters)");
    return out;
}

} // namespace kestrel
