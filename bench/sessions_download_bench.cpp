// The download path end to end on loopback: a generated group of single-part yEnc
// pictures is scanned into the pending list (not timed), then one download run fetches
// every entry over one connection and hands each article to the real decode pipeline,
// which decodes, tests and files the picture in a temporary download folder. The test
// server runs in a thread of its own in the same process, or in a child process; either
// way on the same two cores. The server can add a round-trip time to every command, and
// a plain client that only reads the replies, with a window of requests on their way,
// measures what the link and the server can carry: the ceiling for the download run.

#include "bench_picture_store.h"

#include "base/context.h"
#include "circle/article_sink.h"
#include "circle/circle.h"
#include "decode/decode_pipeline.h"
#include "engine/filing_queue.h"
#include "engine/list_adapters.h"
#include "engine/pipeline_sink.h"
#include "newsd/news_server.h"
#include "nntp/reply_reader.h"
#include "scan/blacklist.h"
#include "scan/csv_lookup.h"
#include "scan/dupe_paths.h"
#include "scan/favourites.h"
#include "scan/header_filter.h"
#include "scan/noredl_list.h"
#include "scan/pending_list_model.h"
#include "server_thread.h"

#include <QCoreApplication>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string_view>

namespace {

using namespace kestrel;

const QByteArray kGroup = "alt.binaries.pictures.bench";

double cpuSeconds(clockid_t clock)
{
    timespec ts{};
    clock_gettime(clock, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// A line of /proc/self/status in MB ("VmHWM", "VmRSS").
double statusMb(const char *field)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray key = QByteArray(field) + ':';
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return -1;
}

// Starts a new peak: the process's VmHWM falls back to its current resident size.
void resetPeakRss()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly))
        f.write("5");
}

using bench::ServerThread;

// The same server in a child process (this program run with --serve), so that the
// server's memory traffic does not land on the client's process: page faults and the
// TLB flushes of another thread's munmap are charged to whichever thread runs.
class ServerProcess {
public:
    ServerProcess(qint64 articles, qsizetype pictureBytes, int latencyMs)
    {
        m_process.start(QCoreApplication::applicationFilePath(),
                        {QStringLiteral("--serve"), QString::number(articles), QString::number(pictureBytes),
                         QString::number(latencyMs)});
        QByteArray out;
        while (!out.contains('\n') && m_process.waitForReadyRead(30000))
            out += m_process.readAllStandardOutput();
        if (out.startsWith("port "))
            m_port = quint16(out.mid(5).trimmed().toUInt());
    }
    ~ServerProcess()
    {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    quint16 port() const { return m_port; }
    // CPU seconds the server has used so far.
    double cpuSeconds() const
    {
        QFile f(QStringLiteral("/proc/%1/stat").arg(m_process.processId()));
        if (!f.open(QIODevice::ReadOnly))
            return 0;
        const QByteArray stat = f.readAll();
        // The fields after the command name (which may hold blanks) in parentheses.
        const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
        const double ticks = double(sysconf(_SC_CLK_TCK));
        return (fields.value(11).toDouble() + fields.value(12).toDouble()) / ticks; // utime, stime
    }

private:
    QProcess m_process;
    quint16 m_port = 0;
};

int serveForever(qint64 articles, qsizetype pictureBytes, int latencyMs)
{
    newsd::NewsServer server(std::make_shared<bench::PictureStore>(kGroup, articles, pictureBytes));
    server.faults().latencyMs = latencyMs;
    if (!server.listen())
        return 1;
    std::printf("port %u\n", unsigned(server.port()));
    std::fflush(stdout);
    return QCoreApplication::exec();
}

// Counts the article bytes on their way to the filing queue, as the program has it.
struct CountingSink final : ArticleSink {
    explicit CountingSink(ArticleSink &sink) : next(sink) {}
    ArticleSink &next;
    qint64 articles = 0;
    qint64 bytes = 0;
    SinkResult articleRetrieved(const CapturedArticle &article) override
    {
        ++articles;
        bytes += article.articleBuffer.size();
        return next.articleRetrieved(article);
    }
    void setListener(Listener *listener) override { next.setListener(listener); }
    bool full() const override { return next.full(); }
    void dropTaken() override { next.dropTaken(); }
};

struct Downloader {
    QTemporaryDir dir;
    RecordingPrompter prompter;
    Context ctx{dir.path(), nullptr, &prompter};
    NoRedlList noRedl{ctx};
    Blacklist blacklist{ctx};
    DupePaths dupePaths{ctx};
    PendingListModel pending{ctx, noRedl, blacklist};
    FavouritesModel favs{ctx};
    FilterCounters counters;
    NoCsvIndex noCsv;
    HeaderFilter filter{ctx, counters, pending, noRedl, blacklist, dupePaths, noCsv};
    NoRedlFetchedNames fetched{noRedl};
    DecodePipeline pipeline{ctx, fetched};
    PipelineSink pipelineSink{pipeline, pending};
    FilingQueue filing{pipelineSink};
    CountingSink sink{filing};
    Circle circle{ctx, favs, pending, filter, counters, sink};
    QString downloadFolder = dir.path() + QStringLiteral("/download/");

    Downloader(quint16 port, int window, int connections)
    {
        ctx.settings.setNumber(u"sldPipeline", window);
        ctx.settings.setNumber(u"sldConnections", connections);
        pipelineSink.setCircle(&circle);
        QDir().mkpath(downloadFolder);
        ctx.settings.setText(u"txtHost", QStringLiteral("127.0.0.1"));
        ctx.settings.setText(u"txtPort", QString::number(port));
        ctx.settings.setText(u"lblDownloadPath", downloadFolder);
        ctx.settings.setChecked(u"chkXOVER", true);
        ctx.settings.setNumber(u"sldXOVER", 2000);
        ctx.settings.setNumber(u"sldMaxPending", 100000);
        ctx.settings.setChecked(u"chkAutodownload", false);
        ctx.settings.setChecked(u"chkReScan", false);
        ctx.settings.setChecked(u"chkAllowRestart", false);
        ctx.settings.setNumber(u"sldLineMin", 0);
        ctx.settings.setNumber(u"sldLineMax", SliderKey(u"sldLineMax").def().max);
        FavouriteRow row;
        row.name = kGroup;
        favs.appendRow(row);
    }

    // Runs `start` and the event loop until the circle would wait; false on an error
    // stop or when it did not end in time.
    bool runUntilWait(const std::function<void()> &start)
    {
        QEventLoop loop;
        bool error = true;
        const auto c = QObject::connect(&circle, &Circle::wouldWait, &loop, [&](bool e) {
            error = e;
            loop.quit();
        });
        QTimer::singleShot(600000, &loop, &QEventLoop::quit);
        start();
        loop.exec();
        QObject::disconnect(c);
        return !error;
    }

    // Pictures filed under the download folder; `sameAs` counts those whose bytes are
    // the posted picture's.
    int filedPictures(const QByteArray &picture, int *sameAs) const
    {
        int n = 0;
        QDirIterator it(downloadFolder, {QStringLiteral("*.jpg")}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile f(it.next());
            ++n;
            if (f.open(QIODevice::ReadOnly) && f.readAll() == picture)
                ++*sameAs;
        }
        return n;
    }
};

// The longest the event loop went without coming back to its timers while it ran: how
// long a window would have stood still. A 1 ms timer notes each gap between its ticks.
class LoopStallMeter {
public:
    LoopStallMeter()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(1);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            m_longestNs = std::max(m_longestNs, m_since.nsecsElapsed());
            m_since.restart();
        });
        m_since.start();
        m_timer.start();
    }
    double longestMs() const { return double(m_longestNs) / 1e6; }

private:
    QTimer m_timer;
    QElapsedTimer m_since;
    qint64 m_longestNs = 0;
};

// range(2): 0 runs the server in a thread of this process, 1 in a child process;
// range(3): the round-trip time the server adds (ms); range(4): requests in flight;
// range(5): download connections.
void BM_DownloadYencPictures(benchmark::State &state)
{
    const qint64 articles = state.range(0);
    const qsizetype pictureBytes = qsizetype(state.range(1));
    const bool childProcess = state.range(2) != 0;
    const int latencyMs = int(state.range(3));
    const int window = int(state.range(4));
    const int connections = int(state.range(5));
    auto store = std::make_shared<bench::PictureStore>(kGroup, articles, pictureBytes);
    std::optional<ServerThread> thread;
    std::optional<ServerProcess> child;
    if (childProcess)
        child.emplace(articles, pictureBytes, latencyMs);
    else
        thread.emplace(store, latencyMs);
    const quint16 port = childProcess ? child->port() : thread->port();
    if (port == 0) {
        state.SkipWithError("the server did not start");
        return;
    }
    for (auto _ : state) {
        Downloader d(port, window, connections);
        if (!d.runUntilWait([&] { d.circle.connectScan(); }) || d.ctx.state.pendingCount != articles) {
            state.SkipWithError("the scan did not queue every article");
            break;
        }
        const double rssBefore = statusMb("VmRSS");
        resetPeakRss();
        QElapsedTimer wall;
        wall.start();
        const double thread0 = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
        const double process0 = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
        const double child0 = childProcess ? child->cpuSeconds() : 0;
        std::optional<LoopStallMeter> stalls;
        const bool ok = d.runUntilWait([&] {
            stalls.emplace();
            d.circle.downloadNext();
        });
        const double longestStepMs = stalls->longestMs();
        stalls.reset();
        const double client = cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - thread0;
        const double process = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - process0;
        const double server = childProcess ? child->cpuSeconds() - child0 : process - client;
        const double total = childProcess ? process + server : process;
        const double wallSeconds = double(wall.nsecsElapsed()) / 1e9;
        const double peak = statusMb("VmHWM");
        state.SetIterationTime(wallSeconds);

        int intact = 0;
        const int filed = d.filedPictures(store->picture(), &intact);
        if (!ok || filed != articles || intact != articles || d.pipeline.decodedCount() != articles) {
            state.SkipWithError(qPrintable(QStringLiteral("filed %1 of %2 pictures (%3 intact), decoded %4")
                                               .arg(filed)
                                               .arg(articles)
                                               .arg(intact)
                                               .arg(d.pipeline.decodedCount())));
            break;
        }
        const double mb = double(d.sink.bytes) / 1e6;
        state.counters["articles"] = double(d.sink.articles);
        state.counters["filed"] = filed;
        state.counters["article_MB"] = mb;
        state.counters["MB_per_wall_s"] = mb / wallSeconds;
        state.counters["MB_per_client_cpu_s"] = mb / client;
        state.counters["MB_per_total_cpu_s"] = mb / total;
        state.counters["client_cpu_s"] = client;
        state.counters["server_cpu_s"] = server;
        state.counters["rss_before_MB"] = rssBefore;
        state.counters["peak_rss_MB"] = peak;
        state.counters["peak_over_before_MB"] = peak - rssBefore;
        state.counters["article_KB"] = double(d.sink.bytes) / double(d.sink.articles) / 1e3;
        state.counters["longest_loop_step_ms"] = longestStepMs;
    }
}
// 2,000 articles of about 400 KB (a 390,000-byte picture) from a child process at 0, 20
// and 50 ms round trip, one at a time and with the default window, over one and four
// connections; the same in a thread, and short runs for profiles.
BENCHMARK(BM_DownloadYencPictures)
    ->ArgNames({"articles", "picture", "child", "rtt_ms", "window", "connections"})
    ->ArgsProduct({{2000}, {390000}, {1}, {0, 20, 50}, {1, 8}, {1, 4}})
    ->Args({2000, 390000, 0, 0, 8, 1})
    ->Args({200, 390000, 0, 0, 8, 1})
    ->Args({200, 390000, 1, 0, 8, 1})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

// The bench's ceiling: a client that keeps `window` BODY requests on their way and only
// cuts the replies apart (no decoding, no files), against the same child-process server.
struct PlainClient {
    QTcpSocket socket;
    ReplyReader reader;
    QEventLoop loop;
    qint64 next = 1;     // the next article to ask for
    qint64 last = 0;     // the last article to ask for
    qint64 answered = 0; // BODY replies read whole
    qint64 bytes = 0;
    bool failed = false;

    void send(const QByteArray &line)
    {
        reader.expectReplyTo(line);
        socket.write(line + "\r\n");
    }
    void requestMore(qint64 inFlight)
    {
        while (reader.expectedCount() < inFlight && next <= last)
            send("BODY " + QByteArray::number(next++));
    }
    // Reads replies until `until` BODY replies were answered and nothing more is awaited
    // (or a failure).
    void take(qint64 inFlight, qint64 until)
    {
        reader.feed(socket.readAll());
        for (auto e = reader.next(); e != ReplyReader::Event::NeedMore; e = reader.next()) {
            if (e != ReplyReader::Event::Reply ||
                (reader.reply().code != 222 && reader.reply().code != 211 && reader.reply().code != 200)) {
                failed = true;
                loop.quit();
                return;
            }
            if (reader.reply().code == 222) {
                ++answered;
                bytes += reader.reply().raw.size();
            }
        }
        requestMore(inFlight);
        if (answered >= until && reader.expectedCount() == 0)
            loop.quit();
    }
};

void BM_PlainPipelinedClient(benchmark::State &state)
{
    const qint64 articles = state.range(0);
    const qsizetype pictureBytes = qsizetype(state.range(1));
    const int latencyMs = int(state.range(2));
    const qint64 window = state.range(3);
    ServerProcess server(articles, pictureBytes, latencyMs);
    if (server.port() == 0) {
        state.SkipWithError("the server did not start");
        return;
    }
    for (auto _ : state) {
        PlainClient c;
        qint64 inFlight = 0;
        qint64 until = 0;
        QObject::connect(&c.socket, &QTcpSocket::readyRead, [&] { c.take(inFlight, until); });
        QTimer::singleShot(600000, &c.loop, &QEventLoop::quit);
        c.reader.expect(); // the greeting
        c.socket.connectToHost(QHostAddress::LocalHost, server.port());
        c.send("GROUP " + kGroup);
        c.loop.exec();
        c.last = articles;
        inFlight = window;
        until = articles;
        QElapsedTimer wall;
        wall.start();
        const double thread0 = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
        c.requestMore(inFlight);
        c.loop.exec();
        const double wallSeconds = double(wall.nsecsElapsed()) / 1e9;
        const double client = cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - thread0;
        state.SetIterationTime(wallSeconds);
        if (c.failed || c.answered != articles) {
            state.SkipWithError("not every article was answered");
            break;
        }
        const double mb = double(c.bytes) / 1e6;
        state.counters["articles"] = double(c.answered);
        state.counters["article_MB"] = mb;
        state.counters["MB_per_wall_s"] = mb / wallSeconds;
        state.counters["MB_per_client_cpu_s"] = mb / client;
    }
}
BENCHMARK(BM_PlainPipelinedClient)
    ->ArgNames({"articles", "picture", "rtt_ms", "window"})
    ->ArgsProduct({{2000}, {390000}, {0, 20, 50}, {8}})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

} // namespace

// The benchmarks, or with --serve <articles> <picture bytes> <rtt ms> only the server (the child
// process of the runs above).
int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 5 && std::string_view(argv[1]) == "--serve")
        return serveForever(QByteArray(argv[2]).toLongLong(), QByteArray(argv[3]).toLongLong(),
                            QByteArray(argv[4]).toInt());
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
