#include "app/console_output.h"

namespace kestrel {

void writeText(FILE *to, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), to);
}

void writeLine(FILE *to, const QString &line)
{
    writeText(to, line + QLatin1Char('\n'));
    std::fflush(to);
}

} // namespace kestrel
