#pragma once

#include "base/sound_output.h"

#include <QString>

#include <map>
#include <memory>
#include <optional>

class QSoundEffect;

namespace kestrel {

// Plays event sounds inside the program: each file is loaded once and then started
// from memory, so a sound per scanned header costs next to nothing. On a machine
// without an audio device it stays silent and writes nothing to standard error.
class SoundEffectOutput final : public SoundOutput {
public:
    SoundEffectOutput();
    ~SoundEffectOutput() override;

    void play(const QString &path) override;

    // Files loaded so far, each once.
    qsizetype loadedFiles() const { return qsizetype(m_effects.size()); }
    // Whether the system offered an audio device when first asked.
    bool audioAvailable();

private:
    QSoundEffect &effect(const QString &path);

    std::map<QString, std::unique_ptr<QSoundEffect>> m_effects;
    QSoundEffect *m_current = nullptr;
    std::optional<bool> m_audioAvailable;
};

} // namespace kestrel
