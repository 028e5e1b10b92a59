// A group list the size of a big server's (about 250,000 groups, 20 MB): loading it
// from disk, and searching it for a text that 500 group names contain, both straight
// through and in event-loop slices as the window runs it.
#include "base/context.h"
#include "groups/group_manager.h"
#include "groups/group_search.h"
#include "nntp/login.h"
#include "scan/favourites.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>

namespace {

constexpr int kGroups = 250000;
constexpr int kMatches = 500;

// Lines of about 80 bytes; every 500th name holds the search text, and the text also
// turns up in the number columns of other lines so the skip-ahead has false leads.
const QByteArray &bigList()
{
    static const QByteArray list = [] {
        QByteArray text = "215 list of newsgroups follows\r\n";
        text.reserve(21 * 1024 * 1024);
        for (int i = 0; i < kGroups; ++i) {
            QByteArray name = "alt.binaries.pictures.collections.category-archive-" +
                              QByteArray::number(i % 997) + ".sub" + QByteArray::number(i);
            if (i % (kGroups / kMatches) == 0)
                name += ".kestrelpix";
            text += name + ' ' + QByteArray::number(1000000 + i) + ' ' + QByteArray::number(900000 + i) +
                    (i % 1000 == 7 ? " kestrelpix-moderated-posting-here\r\n" : " y\r\n");
        }
        return text + ".\r\n";
    }();
    return list;
}

struct Folder {
    QTemporaryDir dir;
    Folder()
    {
        QFile f(dir.path() + QStringLiteral("/HOSTGRPS.TXT"));
        if (!f.open(QIODevice::WriteOnly) || f.write(bigList()) != bigList().size())
            std::abort();
    }
};

void BM_PreloadGroups(benchmark::State &state)
{
    Folder folder;
    kestrel::Context ctx(folder.dir.path());
    kestrel::Login login(ctx);
    kestrel::FavouritesModel favs(ctx);
    kestrel::GroupManager manager(ctx, login, favs);
    for (auto _ : state) {
        manager.loadHostGroupsFile();
        benchmark::DoNotOptimize(manager.groupListBuffer().size());
    }
    state.counters["MB"] = double(manager.groupListBuffer().size()) / (1024.0 * 1024.0);
}
BENCHMARK(BM_PreloadGroups)->Unit(benchmark::kMillisecond);

void BM_WalkWholeList(benchmark::State &state)
{
    const kestrel::SearchMode mode = kestrel::SearchMode(state.range(0));
    const QByteArray text = mode == kestrel::SearchMode::Contains
                                ? "kestrelpix"
                                : "alt.binaries.pictures.collections.category-archive-5.";
    int matches = 0;
    for (auto _ : state) {
        kestrel::GroupListWalk walk(bigList(), text, mode);
        QList<kestrel::GroupResultRow> found;
        while (!walk.step(1 << 20, found)) {
        }
        matches = walk.matchCount();
    }
    state.counters["matches"] = matches;
}
BENCHMARK(BM_WalkWholeList)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

// The search as the window runs it: slices from a zero-timer, results into the model.
// "longestSliceMs" is the longest time the event loop was kept from other work.
void BM_SearchFromEventLoop(benchmark::State &state)
{
    Folder folder;
    kestrel::Context ctx(folder.dir.path());
    kestrel::Login login(ctx);
    kestrel::FavouritesModel favs(ctx);
    kestrel::GroupManager manager(ctx, login, favs);
    manager.loadHostGroupsFile();
    manager.setSearchType(1);
    qint64 longestNs = 0;
    for (auto _ : state) {
        QEventLoop loop;
        QElapsedTimer gap;
        QObject::connect(&manager, &kestrel::GroupManager::statusChanged, &loop,
                         [&](int, const QString &) { longestNs = std::max(longestNs, gap.nsecsElapsed()); });
        QTimer tick; // runs between slices; measures how long a slice held the loop
        tick.setInterval(0);
        QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
            if (!manager.searching())
                loop.quit();
            gap.restart();
        });
        gap.start();
        manager.cmdQRClicked(QStringLiteral("kestrelpix"));
        tick.start();
        loop.exec();
        if (manager.results().rowCount() != kMatches)
            state.SkipWithError("wrong number of matches");
    }
    state.counters["longestSliceMs"] = double(longestNs) / 1e6;
    state.counters["matches"] = manager.results().rowCount();
}
BENCHMARK(BM_SearchFromEventLoop)->Unit(benchmark::kMillisecond);

} // namespace
