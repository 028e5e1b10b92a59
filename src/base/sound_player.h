#pragma once

#include <QString>

namespace kestrel {

class SettingsStore;
class SoundOutput;

// Plays the event sounds of the sfx folder through the front end's SoundOutput. Silent
// when sounds are off, the file is missing or there is no output. The check costs one
// look at the file: the filter plays a sound for every header it rejects.
class SoundPlayer {
public:
    SoundPlayer(const SettingsStore &settings, QString sfxFolder);

    void playSfx(const QString &fileName);

    // The file last handed on to be played (for tests and the headless log).
    QString lastPlayed() const { return m_lastPlayed; }
    // The output must outlive the player's use of it; nullptr plays nothing.
    void setOutput(SoundOutput *output) { m_output = output; }

private:
    const SettingsStore &m_settings;
    QString m_sfxFolder;
    QString m_lastPlayed;
    SoundOutput *m_output = nullptr;
};

} // namespace kestrel
