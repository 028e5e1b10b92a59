#include "ui/sound_effect_output.h"

#include "support/temp_program_folder.h"

#include <QCoreApplication>
#include <QtEndian>

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

// A tenth of a second of silence, 8 kHz mono, 16 bits.
QByteArray silentWave()
{
    const QByteArray data(1600, '\0');
    QByteArray wave = "RIFF....WAVEfmt ";
    const auto put32 = [&wave](quint32 v) { wave.append(reinterpret_cast<const char *>(&v), 4); };
    const auto put16 = [&wave](quint16 v) { wave.append(reinterpret_cast<const char *>(&v), 2); };
    put32(qToLittleEndian<quint32>(16));
    put16(qToLittleEndian<quint16>(1));
    put16(qToLittleEndian<quint16>(1));
    put32(qToLittleEndian<quint32>(8000));
    put32(qToLittleEndian<quint32>(16000));
    put16(qToLittleEndian<quint16>(2));
    put16(qToLittleEndian<quint16>(16));
    wave += "data";
    put32(qToLittleEndian<quint32>(quint32(data.size())));
    wave += data;
    const quint32 riff = qToLittleEndian<quint32>(quint32(wave.size() - 8));
    wave.replace(4, 4, reinterpret_cast<const char *>(&riff), 4);
    return wave;
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
