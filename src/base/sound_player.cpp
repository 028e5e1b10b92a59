#include "base/sound_player.h"

#include "base/settings_store.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace kestrel {

SoundPlayer::SoundPlayer(const SettingsStore &settings, QString sfxFolder, QObject *parent)
    : QObject(parent), m_settings(settings), m_sfxFolder(std::move(sfxFolder))
{
    // aplay (alsa-utils) and paplay (pulseaudio-utils) both play WAV files and
    // return at once when there is no audio device.
    for (const char *candidate : {"paplay", "aplay"}) {
        m_player = QStandardPaths::findExecutable(QString::fromLatin1(candidate));
        if (!m_player.isEmpty())
            break;
    }
}

SoundPlayer::~SoundPlayer()
{
    stopCurrent();
}

void SoundPlayer::playSfx(const QString &fileName)
{
    if (!m_settings.checked(u"chkSFX"))
        return;
    const QString path = m_sfxFolder + QLatin1Char('/') + fileName;
    if (!QFileInfo(path).isFile())
        return;
    m_lastPlayed = fileName;
    stopCurrent();
    if (m_player.isEmpty())
        return;
    auto *p = new QProcess(this);
    p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p->setStandardOutputFile(QProcess::nullDevice());
    p->setStandardErrorFile(QProcess::nullDevice());
    connect(p, &QProcess::finished, p, &QObject::deleteLater);
    connect(p, &QProcess::errorOccurred, p, &QObject::deleteLater);
    QStringList args;
    if (m_player.endsWith(QLatin1String("aplay")))
        args << QStringLiteral("-q");
    args << path;
    p->start(m_player, args);
    m_current = p;
}

void SoundPlayer::stopCurrent()
{
    if (m_current && m_current->state() != QProcess::NotRunning) {
        m_current->kill();
        m_current->waitForFinished(200);
    }
    m_current = nullptr;
}

} // namespace kestrel
