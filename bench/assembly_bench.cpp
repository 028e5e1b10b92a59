// CPU per byte of putting a 6 MB picture together from 8 yEnc parts, beside the same
// picture decoded from one single-part article. The article texts are in memory, as the
// download session hands them over; the picture is written to a file on disk.
#include "decode/decode_file.h"
#include "decode/decoded_file.h"
#include "decode/yenc_decoder.h"
#include "newsd/binary_encoders.h"
#include "newsd/multipart_posts.h"

#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <random>

using namespace kestrel;

namespace {

constexpr qsizetype kPictureSize = 6'000'000;
constexpr int kParts = 8;
const QByteArray kName = "IMG_6000.jpg";

struct Articles {
    QByteArray picture;
    QByteArray single;
    QList<QByteArray> parts; // in part order
};

QByteArray randomPicture()
{
    QByteArray out(kPictureSize, Qt::Uninitialized);
    std::mt19937 random(2026);
    for (char &c : out)
        c = char(random() & 0xFF);
    return out;
}

const Articles &articles()
{
    static const Articles a = [] {
        Articles out;
        out.picture = randomPicture();
        const QByteArray size = QByteArray::number(kPictureSize);
        const quint32 crc = quint32(
            crc32(0L, reinterpret_cast<const Bytef *>(out.picture.constData()), uInt(out.picture.size())));
        out.single = "Subject: \"" + kName + "\" yEnc (1/1)\r\n\r\n=ybegin line=128 size=" + size +
                     " name=" + kName + "\r\n" + newsd::yencLines(out.picture) + "=yend size=" + size +
                     " crc32=" + QByteArray::number(crc, 16).rightJustified(8, '0') + "\r\n";
        for (const newsd::PartPost &p :
             newsd::multiPartPosts(out.picture, kName, kParts, newsd::PartEncoding::Yenc))
            out.parts.append("Subject: " + p.subject + "\r\n\r\n" + p.body);
        return out;
    }();
    return a;
}

// The parts in the order they arrive: in part order, or the last first (the first write
// then fills the room before it).
QList<QByteArrayView> arrivalOrder(bool reversed)
{
    QList<QByteArrayView> out;
    for (const QByteArray &part : articles().parts)
        out.append(part);
    if (reversed)
        std::reverse(out.begin(), out.end());
    return out;
}

// The picture assembly measured. Today: each part decoded (with its pcrc32= check) and
// placed at its offset in one file kept open. The assembly entry point, once there,
// takes the place of this body.
QString assembleParts(const QList<QByteArrayView> &parts, const QString &dest)
{
    QFile file(dest);
    if (!file.open(QIODevice::ReadWrite))
        return file.errorString();
    for (const QByteArrayView text : parts) {
        DecodedFile decoded;
        if (QString error = yEncDecodeText(text, dest, {}, decoded); !error.isEmpty())
            return error;
        if (QString error = placeDecoded(file, decoded); !error.isEmpty())
            return error;
    }
    return {};
}

struct Folder {
    QTemporaryDir dir;
    QString dest = dir.path() + QStringLiteral("/") + QString::fromLatin1(kName);
    bool checked = false;

    // The first picture made is compared with the original, outside the timed part; the
    // file is removed after each, as a new picture normally finds none of its name.
    bool finish(benchmark::State &state)
    {
        state.PauseTiming();
        bool ok = true;
        if (!checked) {
            QFile file(dest);
            ok = file.open(QIODevice::ReadOnly) && file.readAll() == articles().picture;
            checked = true;
        }
        QFile::remove(dest);
        state.ResumeTiming();
        if (!ok)
            state.SkipWithError("the picture written differs from the one posted");
        return ok;
    }
};

void reportBytes(benchmark::State &state, qint64 articleBytes)
{
    state.SetBytesProcessed(state.iterations() * kPictureSize);
    state.counters["article_bytes"] = double(articleBytes);
}

// One 6 MB single-part article through the decoder entry point of the download.
void BM_SinglePart(benchmark::State &state)
{
    Folder folder;
    QByteArray scratch;
    for (auto _ : state) {
        const DecodeOutcome out = decodeArticleToFile(articles().single, folder.dest, {}, &scratch);
        if (!out.ok) {
            state.SkipWithError(qPrintable(out.message));
            break;
        }
        if (!folder.finish(state))
            break;
    }
    reportBytes(state, articles().single.size());
}
BENCHMARK(BM_SinglePart)->Unit(benchmark::kMillisecond);

qint64 partBytes()
{
    qint64 n = 0;
    for (const QByteArray &part : articles().parts)
        n += part.size();
    return n;
}

// The 8 parts, each through the same entry point into the same file (opened per part).
void BM_PartsEachDecodedToFile(benchmark::State &state)
{
    Folder folder;
    QByteArray scratch;
    const QList<QByteArrayView> parts = arrivalOrder(state.range(0) != 0);
    for (auto _ : state) {
        for (const QByteArrayView text : parts) {
            const DecodeOutcome out = decodeArticleToFile(text, folder.dest, {}, &scratch);
            if (!out.ok)
                state.SkipWithError(qPrintable(out.message));
        }
        if (!folder.finish(state))
            break;
    }
    reportBytes(state, partBytes());
}
BENCHMARK(BM_PartsEachDecodedToFile)->ArgName("reversed")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The 8 parts through assembleParts.
void BM_PartsAssembled(benchmark::State &state)
{
    Folder folder;
    const QList<QByteArrayView> parts = arrivalOrder(state.range(0) != 0);
    for (auto _ : state) {
        if (const QString error = assembleParts(parts, folder.dest); !error.isEmpty()) {
            state.SkipWithError(qPrintable(error));
            break;
        }
        if (!folder.finish(state))
            break;
    }
    reportBytes(state, partBytes());
}
BENCHMARK(BM_PartsAssembled)->ArgName("reversed")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The same, then the trailer's whole-file crc32= checked by reading the picture back: the
// price of a second pass, beside crc32_combine of the parts' CRCs, which costs nothing.
void BM_PartsAssembledThenWholeCrcPass(benchmark::State &state)
{
    Folder folder;
    const QList<QByteArrayView> parts = arrivalOrder(false);
    for (auto _ : state) {
        if (const QString error = assembleParts(parts, folder.dest); !error.isEmpty()) {
            state.SkipWithError(qPrintable(error));
            break;
        }
        QFile file(folder.dest);
        const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        benchmark::DoNotOptimize(
            crc32(0L, reinterpret_cast<const Bytef *>(bytes.constData()), uInt(bytes.size())));
        if (!folder.finish(state))
            break;
    }
    reportBytes(state, partBytes());
}
BENCHMARK(BM_PartsAssembledThenWholeCrcPass)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
