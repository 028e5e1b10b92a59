#pragma once

#include "base/app_state.h"
#include "base/atomic_file.h"
#include "base/clock.h"
#include "base/main_display.h"
#include "base/operations_log.h"
#include "base/prompter.h"
#include "base/settings_store.h"
#include "base/sound_player.h"

#include <memory>

namespace kestrel {

// Everything program-wide that the subsystems share: the run state, the settings, the
// log, the sounds, the clock and the way to ask the user. One per engine; tests build
// as many as they like.
class Context {
public:
    // clock and prompter may be null: a system clock and a prompter that takes the
    // default answers are used then. Both must outlive the context when given.
    explicit Context(const QString &appPath, Clock *clock = nullptr, Prompter *prompter = nullptr);
    Context(const Context &) = delete;
    Context &operator=(const Context &) = delete;

    void writeLog(const QString &message, bool toLog) { log.writeLog(message, toLog); }
    void playSfx(const QString &fileName) { sound.playSfx(fileName); }
    // Logs a failed save with its file and reason; returns whether the save worked.
    bool reportSave(const SaveResult &result);

private:
    std::unique_ptr<Clock> m_ownClock;
    std::unique_ptr<Prompter> m_ownPrompter;

public:
    Clock &clock;
    Prompter &prompter;
    AppState state;
    SettingsStore settings;
    OperationsLog log;
    SoundPlayer sound;
    MainDisplay display;
};

} // namespace kestrel
