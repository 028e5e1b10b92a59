#include "base/sound_player.h"

#include "base/settings_store.h"
#include "base/sound_output.h"

#include <QFileInfo>

namespace kestrel {

SoundPlayer::SoundPlayer(const SettingsStore &settings, QString sfxFolder)
    : m_settings(settings), m_sfxFolder(std::move(sfxFolder))
{
}

void SoundPlayer::playSfx(const QString &fileName)
{
    if (!m_settings.checked(u"chkSFX"))
        return;
    const QString path = m_sfxFolder + QLatin1Char('/') + fileName;
    if (!QFileInfo(path).isFile())
        return;
    m_lastPlayed = fileName;
    if (m_output)
        m_output->play(path);
}

} // namespace kestrel
