#pragma once

#include <QString>

namespace kestrel {

// Where event sounds are played. The windowed front end gives one; without it (the
// headless program, the tests) a sound is only recorded, never played.
class SoundOutput {
public:
    virtual ~SoundOutput() = default;
    // Starts the sound file at path and returns at once; a sound still playing is cut
    // off. Never blocks and never reports: a sound that cannot play stays silent.
    virtual void play(const QString &path) = 0;
};

} // namespace kestrel
