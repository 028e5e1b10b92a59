#pragma once

#include <QString>

namespace kestrel {

// The program folder, in this order: the --home argument; KESTREL_HOME; the folder of
// the executable when it holds a KESTREL.INI (portable use); otherwise the per-user
// data folder. The folder is created when missing. Returned without a trailing
// separator; empty when it cannot be created.
QString resolveAppPath(const QString &homeArgument, const QString &executableDir);

} // namespace kestrel
