#pragma once

#include "base/prompter.h"

namespace kestrel {

class OperationsLog;

// Nobody answers in a headless run: each message is logged, and each question is
// logged with the default answer it takes.
class HeadlessPrompter final : public Prompter {
public:
    void setLog(OperationsLog *log) { m_log = log; }
    void message(const QString &text, const QString &title = QString()) override;
    bool question(const QString &text, bool defaultYes, const QString &title = QString()) override;

private:
    OperationsLog *m_log = nullptr;
};

} // namespace kestrel
