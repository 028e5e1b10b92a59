#include "ui/sound_effect_output.h"

#include <QAudioDevice>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QUrl>

namespace kestrel {

SoundEffectOutput::SoundEffectOutput() = default;

SoundEffectOutput::~SoundEffectOutput() = default;

bool SoundEffectOutput::audioAvailable()
{
    if (!m_audioAvailable) {
        // Asking for devices connects to the sound server, and Qt reports a missing one
        // on standard error. A machine without sound is no fault here, so that one
        // question is kept out of the terminal and the journal.
        const QtMessageHandler previous =
            qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
        m_audioAvailable = !QMediaDevices::audioOutputs().isEmpty();
        qInstallMessageHandler(previous);
    }
    return *m_audioAvailable;
}

QSoundEffect &SoundEffectOutput::effect(const QString &path)
{
    std::unique_ptr<QSoundEffect> &slot = m_effects[path];
    if (!slot) {
        slot = std::make_unique<QSoundEffect>();
        slot->setSource(QUrl::fromLocalFile(path));
    }
    return *slot;
}

void SoundEffectOutput::play(const QString &path)
{
    // Asked first: the sound server is contacted, quietly, before any effect is made.
    const bool audible = audioAvailable();
    QSoundEffect &next = effect(path);
    if (!audible)
        return;
    if (m_current)
        m_current->stop();
    m_current = &next;
    next.play();
}

} // namespace kestrel
