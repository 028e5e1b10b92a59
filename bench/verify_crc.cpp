#include "decode/file_crc.h"

#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <zlib.h>

namespace {

constexpr qint64 kFileSize = 256ll * 1024 * 1024;

QByteArray patternBytes(qint64 size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qint64 i = 0; i < size; ++i)
        bytes[i] = char((i * 2654435761u) >> 13);
    return bytes;
}

// A file that stays in the page cache between runs.
const QString &cachedFile()
{
    static const struct Holder {
        QTemporaryDir dir;
        QString path;
        Holder() : path(dir.path() + QStringLiteral("/big.jpg"))
        {
            QFile f(path);
            if (!f.open(QIODevice::WriteOnly) || f.write(patternBytes(kFileSize)) != kFileSize)
                qFatal("cannot write the benchmark file");
        }
    } holder;
    return holder.path;
}

void BM_FileCrc32(benchmark::State &state)
{
    const QString &path = cachedFile();
    (void)kestrel::fileCrc32(path); // warm the page cache
    for (auto _ : state)
        benchmark::DoNotOptimize(kestrel::fileCrc32(path));
    state.SetBytesProcessed(state.iterations() * kFileSize);
}
BENCHMARK(BM_FileCrc32)->Unit(benchmark::kMillisecond)->UseRealTime();

// What zlib alone does over bytes already in memory: the ceiling for the file version.
void BM_ZlibCrc32InMemory(benchmark::State &state)
{
    const QByteArray bytes = patternBytes(64ll * 1024 * 1024);
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            crc32_z(0, reinterpret_cast<const Bytef *>(bytes.constData()), size_t(bytes.size())));
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}
BENCHMARK(BM_ZlibCrc32InMemory)->Unit(benchmark::kMillisecond);

} // namespace
