// Header filter throughput with a large no-re-download list, a 50-entry blacklist and
// a 3,000-entry pending list; and the time to load NOREDL.TXT and pending.dat.
#include "scan/blacklist.h"
#include "scan/csv_lookup.h"
#include "scan/dupe_paths.h"
#include "scan/header_filter.h"
#include "scan/noredl_list.h"
#include "scan/pending_file.h"
#include "scan/pending_list_model.h"

#include "base/atomic_file.h"
#include "base/context.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>
#include <cstdlib>

#include <benchmark/benchmark.h>

#include <memory>

#include <sys/resource.h>

namespace {

using namespace kestrel;

QByteArray noRedlText(int names)
{
    QByteArray t;
    t.reserve(qsizetype(names) * 16);
    for (int i = 0; i < names; ++i)
        t += "FETCHED_" + QByteArray::number(i) + ".JPG,";
    return t;
}

// One header in the HEAD reply shape or the overview shape.
QByteArray headerBlock(int i, bool head, const QByteArray &subject, int lines, const QByteArray &from)
{
    const QByteArray n = QByteArray::number(100000 + i);
    const QByteArray id = "<part1of1." + n + "@news.example.com>";
    const QByteArray xref = "news.example.com alt.binaries.pictures.test:" + n;
    QByteArray b;
    if (head) {
        b = "221 " + n + " " + id +
            " article\r\n"
            "Path: news.example.com!feeder.example.net!not-for-mail\r\n"
            "From: " +
            from +
            "\r\n"
            "Newsgroups: alt.binaries.pictures.test\r\n"
            "Subject: " +
            subject +
            "\r\n"
            "Date: Sun, 01 Mar 2026 10:00:00 +0000\r\n"
            "Organization: Example News Service\r\n"
            "Lines: " +
            QByteArray::number(lines) +
            "\r\n"
            "Message-ID: " +
            id +
            "\r\n"
            "NNTP-Posting-Host: 192.0.2." +
            QByteArray::number(i % 250) +
            "\r\n"
            "X-Complaints-To: abuse@example.com\r\n"
            "NNTP-Posting-Date: Sun, 01 Mar 2026 10:00:00 UTC\r\n"
            "Xref: " +
            xref + "\r\n.\r\n";
    } else {
        b = "Subject: " + subject + "\r\nFrom: " + from +
            "\r\nDate: Sun, 01 Mar 2026 10:00:00 +0000\r\n"
            "Message-ID: " +
            id + "\r\nReferences: \r\nBytes: " + QByteArray::number(lines * 130) +
            "\r\nLines: " + QByteArray::number(lines) + "\r\nXref: " + xref;
    }
    return b;
}

// A mix as a picture group gives it: 6 of 16 accepted, the rest rejected by the line
// limits, the picture test, the single-part test, the duplicate test and the blacklist.
std::vector<QByteArray> headerPool(int count)
{
    std::vector<QByteArray> pool;
    const QByteArray poster = "Poster Name <poster@example.com>";
    for (int i = 0; i < count; ++i) {
        const bool head = i % 2 == 0;
        const QByteArray num = QByteArray::number(i);
        QByteArray subject = "[Holiday pics] - \"new_" + num + ".jpg\" yEnc (1/1)";
        QByteArray from = poster;
        int lines = 1200 + i % 700;
        switch (i % 16) {
        case 6:
        case 7:
            lines = 9000;
            break;
        case 8:
        case 9:
            lines = 40;
            break;
        case 10:
            subject = "Discussion thread " + num;
            break;
        case 11:
        case 12:
            subject = "Big set - \"part_" + num + ".jpg\" yEnc (2/7)";
            break;
        case 13:
        case 14:
            subject = "Re: \"fetched_" + QByteArray::number(i * 7 % 10000) + ".jpg\"";
            break;
        case 15:
            from = "Cheap Stuff <deals@spammer17.example>";
            break;
        default:
            break;
        }
        pool.push_back(headerBlock(i, head, subject, lines, from));
    }
    return pool;
}

struct Engine {
    QTemporaryDir dir;
    std::unique_ptr<Context> ctx;
    std::unique_ptr<NoRedlList> noRedl;
    std::unique_ptr<Blacklist> blacklist;
    std::unique_ptr<DupePaths> dupes;
    std::unique_ptr<PendingListModel> pending;
    FilterCounters counters;
    NoCsvIndex csv;
    std::unique_ptr<HeaderFilter> filter;

    explicit Engine(int noRedlNames)
    {
        ctx = std::make_unique<Context>(dir.path());
        ctx->settings.setChecked(u"chkSFX", false);
        // A bench on a list that was never written would measure the wrong thing.
        if (!writeFileAtomic(ctx->state.file(QStringLiteral("NOREDL.TXT")), noRedlText(noRedlNames)))
            std::abort();
        noRedl = std::make_unique<NoRedlList>(*ctx);
        noRedl->loadNoRedl();
        blacklist = std::make_unique<Blacklist>(*ctx);
        for (int i = 0; i < 50; ++i)
            blacklist->addToBlacklist("spammer" + QByteArray::number(i) + ".example");
        dupes = std::make_unique<DupePaths>(*ctx);
        pending = std::make_unique<PendingListModel>(*ctx, *noRedl, *blacklist);
        for (int i = 0; i < 3000; ++i)
            pending->addArticleHeader("a@b", "queued", "", QByteArray::number(i), "500", "", 1, false, {},
                                      false, false, "queued_" + QByteArray::number(i) + ".jpg", "alt.test");
        filter = std::make_unique<HeaderFilter>(*ctx, counters, *pending, *noRedl, *blacklist, *dupes, csv);
        filter->setCurrentGroup("alt.binaries.pictures.test");
    }
};

void BM_FilterHeaders(benchmark::State &state)
{
    Engine e(int(state.range(0)));
    const std::vector<QByteArray> pool = headerPool(8192);
    const QByteArray number = " 123456";
    for (auto _ : state) {
        for (const QByteArray &h : pool)
            e.filter->filterArticleHeader(h, number);
        state.PauseTiming();
        // Drop what this pass queued, so every pass sees the same 3,000 entries.
        while (e.pending->count() > 3000)
            e.pending->takeAt(e.pending->count() - 1);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(pool.size()));
    state.counters["accepted_per_pass"] = double(e.pending->addedCount() - 3000) / double(state.iterations());
}
BENCHMARK(BM_FilterHeaders)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

void BM_LoadNoRedl(benchmark::State &state)
{
    QTemporaryDir dir;
    Context ctx(dir.path());
    if (!writeFileAtomic(ctx.state.file(QStringLiteral("NOREDL.TXT")), noRedlText(int(state.range(0)))))
        state.SkipWithError("NOREDL.TXT could not be written");
    for (auto _ : state) {
        NoRedlList list(ctx);
        list.loadNoRedl();
        benchmark::DoNotOptimize(list.nameCount());
    }
}
BENCHMARK(BM_LoadNoRedl)->Arg(1000000)->Unit(benchmark::kMillisecond);

// A pending.dat of `count` entries, written a thousand at a time so that making it
// does not itself raise the peak memory the load is measured by.
bool writePendingFile(const QString &path, int count)
{
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    const qsizetype header = pendingfile::HeaderRecords * pendingfile::RecordSize;
    for (int first = 0; first < count; first += 1000) {
        QList<PendingEntry> chunk;
        for (int i = first; i < std::min(count, first + 1000); ++i) {
            PendingEntry e;
            e.text = "picture_" + QByteArray::number(i) + ".jpg";
            e.tag = ListNumber(100000 + i);
            e.sub.lines = ListNumber(1200 + i % 900);
            e.sub.subject = "Sunset over the bay, part of a long series (" + e.text + ") yEnc";
            e.sub.email = "poster" + QByteArray::number(i % 50) + "@example.com";
            e.sub.newsgroup = "alt.binaries.pictures.test";
            chunk.append(e);
        }
        QByteArray bytes = pendingfile::encode(chunk, QDateTime::currentDateTime());
        if (first > 0)
            bytes.remove(0, header);
        if (out.write(bytes) != bytes.size())
            return false;
    }
    QByteArray n(4, '\0');
    qToLittleEndian(qint32(count), n.data());
    return out.seek(pendingfile::RecordSize) && out.write(n) == n.size() && out.flush();
}

// Peak resident memory of the process; run this benchmark alone to read the load's own.
void BM_LoadPending(benchmark::State &state)
{
    QTemporaryDir dir;
    Context ctx(dir.path());
    NoRedlList noRedl(ctx);
    Blacklist blacklist(ctx);
    if (!writePendingFile(ctx.state.file(QStringLiteral("pending.dat")), int(state.range(0))))
        state.SkipWithError("pending.dat could not be written");
    for (auto _ : state) {
        PendingListModel pending(ctx, noRedl, blacklist);
        pending.loadPending();
        if (pending.rowCount() != state.range(0))
            state.SkipWithError("not every entry was loaded");
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_MB"] = double(usage.ru_maxrss) / 1024.0;
}
BENCHMARK(BM_LoadPending)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace
