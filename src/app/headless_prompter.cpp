#include "app/headless_prompter.h"

#include "base/operations_log.h"

namespace kestrel {

void HeadlessPrompter::message(const QString &text, const QString &)
{
    if (m_log)
        m_log->writeLog(text, true);
}

bool HeadlessPrompter::question(const QString &text, bool defaultYes, const QString &)
{
    if (m_log)
        m_log->writeLog(text + (defaultYes ? QStringLiteral(" -- answered Yes (default)")
                                           : QStringLiteral(" -- answered No (default)")),
                        true);
    return defaultYes;
}

} // namespace kestrel
