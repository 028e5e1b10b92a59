#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class QProcess;

namespace kestrel {

class SettingsStore;

// Plays the event sounds of the sfx folder asynchronously; a new sound cuts off the
// one still playing. Silent when sounds are off, the file is missing or no player
// program can be started.
class SoundPlayer : public QObject {
    Q_OBJECT
public:
    SoundPlayer(const SettingsStore &settings, QString sfxFolder, QObject *parent = nullptr);
    ~SoundPlayer() override;

    void playSfx(const QString &fileName);

    // The file last handed to the player (for tests and the headless log).
    QString lastPlayed() const { return m_lastPlayed; }
    // Program used to play a file; empty disables playback but still records it.
    void setPlayerProgram(QString program) { m_player = std::move(program); }

private:
    void stopCurrent();

    const SettingsStore &m_settings;
    QString m_sfxFolder;
    QString m_player;
    QString m_lastPlayed;
    QPointer<QProcess> m_current;
};

} // namespace kestrel
