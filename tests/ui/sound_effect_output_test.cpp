#include "ui/sound_effect_output.h"

#include "support/temp_program_folder.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

using namespace kestrel;
using kestrel::test::TempProgramFolder;

namespace {

// A message handler is a plain function, so what it hears has to live outside it.
QStringList &heard()
{
    static QStringList messages;
    return messages;
}

void recordMessage(QtMsgType, const QMessageLogContext &, const QString &message)
{
    heard() << message;
}

// A tenth of a second of silence, 8 kHz mono, 16 bits: the RIFF header, then the samples.
QByteArray silentWave()
{
    return QByteArray::fromHex("524946466406000057415645666d74201000000001000100"
                               "401f0000803e0000020010006461746140060000") +
           QByteArray(1600, '\0');
}

// A scan rejects hundreds of headers a second, each with its sound: every file must be
// loaded once, and nothing may reach standard error, with an audio device or without.
TEST(SoundEffectOutput, LoadsEachFileOnceAndKeepsStandardErrorQuiet)
{
    TempProgramFolder dir;
    dir.write("sfx/spam.wav", silentWave());
    dir.write("sfx/other.wav", silentWave());
    heard().clear();
    const QtMessageHandler previous = qInstallMessageHandler(recordMessage);
    {
        SoundEffectOutput out;
        for (int i = 0; i < 300; ++i)
            out.play(dir.file(i % 3 ? "sfx/spam.wav" : "sfx/other.wav"));
        for (int i = 0; i < 10; ++i)
            QCoreApplication::processEvents();
        EXPECT_EQ(out.loadedFiles(), 2);
    }
    qInstallMessageHandler(previous);
    EXPECT_TRUE(heard().isEmpty()) << heard().join(QLatin1Char('\n')).toStdString();
}

} // namespace
