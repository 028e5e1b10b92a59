#pragma once

#include "base/prompter.h"

namespace kestrel {

// Asks the user with modal message boxes over the active window. The title defaults
// to the program's name.
class MessageBoxPrompter : public Prompter {
public:
    void message(const QString &text, const QString &title = QString()) override;
    bool question(const QString &text, bool defaultYes, const QString &title = QString()) override;
};

} // namespace kestrel
