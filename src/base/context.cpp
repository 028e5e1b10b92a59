#include "base/context.h"

namespace kestrel {

namespace {
template <typename T, typename Base> Base &orOwn(Base *given, std::unique_ptr<Base> &own)
{
    if (given)
        return *given;
    own = std::make_unique<T>();
    return *own;
}
} // namespace

Context::Context(const QString &appPath, Clock *clockIn, Prompter *prompterIn)
    : clock(orOwn<SystemClock>(clockIn, m_ownClock)),
      prompter(orOwn<RecordingPrompter>(prompterIn, m_ownPrompter)),
      log(settings, clock, appPath + QStringLiteral("/OPSLOG.TXT")),
      sound(settings, appPath + QStringLiteral("/sfx"))
{
    state.appPath = appPath;
}

bool Context::reportSave(const SaveResult &result)
{
    if (!result.ok())
        writeLog(result.message(), true);
    return result.ok();
}

} // namespace kestrel
