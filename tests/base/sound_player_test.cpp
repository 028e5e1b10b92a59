#include "base/settings_store.h"
#include "base/sound_output.h"
#include "base/sound_player.h"
#include "support/temp_program_folder.h"

#include <QDir>

#include <gtest/gtest.h>

using namespace kestrel;
using kestrel::test::TempProgramFolder;

namespace {

struct RecordingOutput final : SoundOutput {
    QStringList played;
    void play(const QString &path) override { played << path; }
};

TEST(SoundPlayer, HandsExistingSoundsToTheOutputWhileSoundsAreOn)
{
    const struct {
        const char *what;
        int chkSFX;
        const char *file;
        bool played;
    } cases[] = {
        {"on, file present", 1, "scan.wav", true},         {"off", 0, "scan.wav", false},
        {"dimmed counts as off", 2, "scan.wav", false},    {"file missing", 1, "absent.wav", false},
        {"a folder of that name", 1, "folder.wav", false},
    };
    for (const auto &c : cases) {
        TempProgramFolder dir;
        dir.write("sfx/scan.wav", "RIFF");
        QDir(dir.path()).mkpath(QStringLiteral("sfx/folder.wav"));
        SettingsStore settings;
        settings.setNumber(u"chkSFX", c.chkSFX);
        SoundPlayer player(settings, dir.file("sfx"));
        RecordingOutput out;
        player.setOutput(&out);
        player.playSfx(QString::fromLatin1(c.file));
        EXPECT_EQ(out.played, c.played ? QStringList{dir.file("sfx/scan.wav")} : QStringList()) << c.what;
        EXPECT_EQ(player.lastPlayed(), c.played ? QStringLiteral("scan.wav") : QString()) << c.what;
    }
}

} // namespace
