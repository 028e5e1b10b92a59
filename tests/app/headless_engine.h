#pragma once

#include "app/headless_front_end.h"
#include "engine/engine.h"

#include <QStringList>

namespace kestrel::test {

// An engine started up headless on a program folder, keeping every logged message.
struct HeadlessEngine {
    RecordingPrompter prompter;
    Engine engine;
    HeadlessFrontEnd fe;
    QStringList logged;

    // Without recordPrompts the engine answers questions as the headless program does.
    explicit HeadlessEngine(const QString &home, bool recordPrompts = true)
        : engine(home, nullptr, recordPrompts ? &prompter : nullptr)
    {
        QObject::connect(&engine.context().log, &OperationsLog::logged,
                         [this](const QString &, const QString &message) { logged << message; });
        engine.startUp(fe);
    }
    std::string log() const { return logged.join(u'\n').toStdString(); }
};

} // namespace kestrel::test
