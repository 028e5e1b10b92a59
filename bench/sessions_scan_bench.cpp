// The scan path end to end on loopback: the scan connection reads a generated group
// in XOVER ranges (or header by header in HEAD mode: by number with requests on their
// way, or stepping with NEXT/HEAD on a server that refuses LISTGROUP), every header goes
// through the header filter, and the accepted ones into the pending list. The test server runs in
// a thread of its own so the figures are the scanning side's: headers per CPU second
// of the thread that scans, besides the wall time and the peak memory of the process.

#include "base/context.h"
#include "circle/article_sink.h"
#include "circle/circle.h"
#include "newsd/news_server.h"
#include "newsd/sample_store.h"
#include "scan/blacklist.h"
#include "scan/csv_lookup.h"
#include "scan/dupe_paths.h"
#include "scan/favourites.h"
#include "scan/header_filter.h"
#include "scan/noredl_list.h"
#include "scan/pending_list_model.h"
#include "server_thread.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSet>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <time.h>

namespace {

using namespace kestrel;

const QByteArray kGroup = "alt.binaries.pictures.million";

double threadCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

double peakRssMb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

// An index that knows only the chosen names, so that most headers are rejected with
// "!Not in CSV" and a few thousand reach the pending list.
class ChosenNames final : public CsvLookup {
public:
    QSet<QByteArray> names;
    bool csvLoaded() const override { return true; }
    QByteArray csvFindRecord(const QByteArray &fileName) const override
    {
        return names.contains(fileName) ? fileName + ",1000,00000000,description\rbench" : QByteArray();
    }
    QByteArray csvSeriesName(const QByteArray &name) const override { return name; }
};

struct NullSink final : ArticleSink {
    SinkResult articleRetrieved(const CapturedArticle &) override { return SinkResult::Done; }
};

using bench::ServerThread;

struct Scanner {
    QTemporaryDir dir;
    RecordingPrompter prompter;
    Context ctx{dir.path(), nullptr, &prompter};
    NoRedlList noRedl{ctx};
    Blacklist blacklist{ctx};
    DupePaths dupePaths{ctx};
    PendingListModel pending{ctx, noRedl, blacklist};
    FavouritesModel favs{ctx};
    FilterCounters counters;
    ChosenNames csv;
    HeaderFilter filter{ctx, counters, pending, noRedl, blacklist, dupePaths, csv};
    NullSink sink;
    Circle circle{ctx, favs, pending, filter, counters, sink};

    Scanner(quint16 port, bool xover, int window = 8)
    {
        ctx.settings.setNumber(u"sldPipeline", window);
        ctx.settings.setText(u"txtHost", QStringLiteral("127.0.0.1"));
        ctx.settings.setText(u"txtPort", QString::number(port));
        ctx.settings.setChecked(u"chkXOVER", xover);
        ctx.settings.setNumber(u"sldXOVER", 2000);
        ctx.settings.setNumber(u"sldMaxPending", 3000);
        ctx.settings.setChecked(u"chkAutodownload", false);
        ctx.settings.setChecked(u"chkReScan", false);
        ctx.settings.setChecked(u"chkIgnoreCSV", true);
        ctx.settings.setNumber(u"sldLineMin", 0);
        ctx.settings.setNumber(u"sldLineMax", SliderKey(u"sldLineMax").def().max);
        FavouriteRow row;
        row.name = kGroup;
        favs.appendRow(row);
    }

    // Scans until the circle would wait; false when it did not end in time.
    bool scan()
    {
        QEventLoop loop;
        bool error = true;
        QObject::connect(&circle, &Circle::wouldWait, &loop, [&](bool e) {
            error = e;
            loop.quit();
        });
        QTimer::singleShot(600000, &loop, &QEventLoop::quit);
        circle.connectScan();
        loop.exec();
        return !error;
    }
};

// About `wanted` picture names spread over the group.
QSet<QByteArray> chooseNames(qint64 articles, int wanted)
{
    newsd::SampleStore store({{kGroup, 1, articles, 0}});
    QSet<QByteArray> names;
    const qint64 step = std::max<qint64>(1, articles / (qint64(wanted) * 10 / 7));
    for (qint64 n = 1; n <= articles && names.size() < wanted; n += step) {
        const QByteArray name = store.fileNameOf(kGroup, n);
        if (!name.isEmpty())
            names.insert(name);
    }
    return names;
}

// range(1) the round trip the server adds, range(2) the requests on their way
// (sldPipeline: HEAD requests, or in XOVER mode 1 for one range at a time and more for
// the next range asked for while the one before is filtered); in HEAD mode range(3) 0
// for a server that refuses LISTGROUP (NEXT and HEAD, one round trip each, as every
// HEAD-mode scan read before the window).
void runScan(benchmark::State &state, bool xover)
{
    const qint64 articles = state.range(0);
    newsd::FaultPlan faults;
    faults.latencyMs = int(state.range(1));
    const int window = int(state.range(2));
    if (!xover && state.range(3) == 0)
        faults.forcedReplies.append({"LISTGROUP", 500, -1});
    ServerThread server(
        std::make_shared<newsd::SampleStore>(QList<newsd::SampleGroup>{{kGroup, 1, articles, 0}}), faults);
    Scanner scanner(server.port(), xover, window);
    // XOVER: about 3 accepted per 1,000 headers in every group size, as in the million.
    const qint64 wanted = xover ? std::max<qint64>(1, articles * 2990 / 1000000) : 2990;
    scanner.csv.names = chooseNames(articles, int(wanted));
    for (auto _ : state) {
        QElapsedTimer wall;
        wall.start();
        const double cpu0 = threadCpuSeconds();
        const bool ok = scanner.scan();
        const double cpu = threadCpuSeconds() - cpu0;
        state.SetIterationTime(cpu);
        if (!ok)
            state.SkipWithError("the scan did not complete");
        const double headers = scanner.counters.scanHeaderCount;
        state.counters["headers"] = headers;
        state.counters["accepted"] = scanner.ctx.state.pendingCount;
        state.counters["headers_per_cpu_s"] = headers / cpu;
        state.counters["headers_per_wall_s"] = headers / (double(wall.nsecsElapsed()) / 1e9);
        state.counters["wall_s"] = double(wall.nsecsElapsed()) / 1e9;
        state.counters["peak_rss_mb"] = peakRssMb();
    }
}

void BM_ScanXover(benchmark::State &state)
{
    runScan(state, true);
}
BENCHMARK(BM_ScanXover)
    ->ArgNames({"articles", "rtt_ms", "window"})
    ->Args({1000000, 0, 8})
    ->Args({1000000, 0, 1})
    ->Args({100000, 20, 1})
    ->Args({100000, 20, 8})
    ->Args({100000, 50, 1})
    ->Args({100000, 50, 8})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

void BM_ScanHead(benchmark::State &state)
{
    runScan(state, false);
}
BENCHMARK(BM_ScanHead)
    ->ArgNames({"articles", "rtt_ms", "window", "listgroup"})
    ->Args({20000, 0, 1, 0})
    ->Args({20000, 0, 1, 1})
    ->Args({20000, 0, 8, 1})
    ->Args({300, 20, 1, 0})
    ->Args({300, 20, 1, 1})
    ->Args({300, 20, 8, 1})
    ->Args({300, 50, 1, 0})
    ->Args({300, 50, 1, 1})
    ->Args({300, 50, 8, 1})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

} // namespace
