#include "decode/csv_index.h"

#include "base/context.h"
#include "base/ini_file.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <random>

namespace {

constexpr int kFiles = 100;
constexpr int kRecordsPerFile = 10000;

QByteArray recordName(int file, int record)
{
    return QByteArray("S") + QByteArray::number(file).rightJustified(3, '0') + '_' +
           QByteArray::number(record).rightJustified(6, '0') + ".JPG";
}

// A program folder whose CSV folder holds 100 files of 10,000 records each.
const QString &programFolder()
{
    static const struct Holder {
        QTemporaryDir dir;
        QString path = dir.path();
        Holder()
        {
            QDir(dir.path()).mkpath(QStringLiteral("CSV"));
            for (int f = 0; f < kFiles; ++f) {
                QByteArray text;
                for (int r = 0; r < kRecordsPerFile; ++r) {
                    text += recordName(f, r) + ",123456," +
                            QByteArray::number(quint32(f * 7919 + r * 104729), 16).toUpper() + ",Series " +
                            QByteArray::number(f) + " picture " + QByteArray::number(r) +
                            " of a sunset over the sea\r\n";
                }
                QFile out(dir.path() +
                          QStringLiteral("/CSV/20%1_Series%1_index.CSV").arg(f, 3, 10, QLatin1Char('0')));
                if (!out.open(QIODevice::WriteOnly) || out.write(text) != text.size())
                    qFatal("cannot write the benchmark CSV files");
            }
        }
    } holder;
    return holder.path;
}

void loadInto(kestrel::CsvIndex &index, kestrel::Context &ctx)
{
    index.loadCsvIndex(ctx, kestrel::IniFile(ctx.state.file(QStringLiteral("KESTREL.INI"))));
}

void BM_CsvLoad100Files1MRecords(benchmark::State &state)
{
    kestrel::Context ctx(programFolder());
    for (auto _ : state) {
        kestrel::CsvIndex index;
        loadInto(index, ctx);
        benchmark::DoNotOptimize(index.csvCount());
    }
}
BENCHMARK(BM_CsvLoad100Files1MRecords)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CsvFindRecord(benchmark::State &state)
{
    kestrel::Context ctx(programFolder());
    kestrel::CsvIndex index;
    loadInto(index, ctx);
    // Names as the filter sees them: mixed case, one in ten not listed at all.
    std::mt19937 rng(42);
    std::vector<QByteArray> names;
    for (int i = 0; i < 4096; ++i) {
        QByteArray n = recordName(int(rng() % kFiles), int(rng() % kRecordsPerFile)).toLower();
        if (i % 10 == 0)
            n.replace(".jpg", ".png");
        names.push_back(n);
    }
    size_t i = 0;
    qint64 found = 0;
    for (auto _ : state) {
        found += !index.csvFindRecord(names[i++ & 4095]).isEmpty();
    }
    benchmark::DoNotOptimize(found);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CsvFindRecord);

} // namespace
