// newsd: the test news server as a program, for the demo and for runs by hand.

#include "folder_store.h"
#include "news_server.h"
#include "sample_store.h"
#include "tls_listener.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QSslSocket>

#include <csignal>
#include <cstdio>
#include <unistd.h>

using namespace kestrel::newsd;

namespace {

int g_signalPipe[2] = {-1, -1}; // the one way a signal handler may reach the event loop

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(g_signalPipe[1], &byte, 1);
}

void quitOnSignals(QCoreApplication &app)
{
    if (::pipe(g_signalPipe) != 0)
        return;
    auto *notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
}

[[noreturn]] void fail(const QString &message)
{
    std::fprintf(stderr, "newsd: %s\n", qPrintable(message));
    std::exit(2);
}

int toInt(const QString &text, const QString &what)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok)
        fail(QStringLiteral("bad %1: %2").arg(what, text));
    return value;
}

// NAME=COUNT[@FIRST]
SampleGroup parseGroup(const QString &spec, qint64 gapEvery)
{
    const qsizetype eq = spec.indexOf(QLatin1Char('='));
    if (eq <= 0)
        fail(QStringLiteral("--generate wants NAME=COUNT[@FIRST], not %1").arg(spec));
    const QStringList numbers = spec.mid(eq + 1).split(QLatin1Char('@'));
    SampleGroup g;
    g.name = spec.left(eq).toUtf8();
    const qint64 count = toInt(numbers[0], QStringLiteral("count"));
    g.first = numbers.size() > 1 ? toInt(numbers[1], QStringLiteral("first number")) : 1;
    g.last = g.first + count - 1;
    g.gapEvery = gapEvery;
    return g;
}

void applyFaults(const QCommandLineParser &args, NewsServer &server)
{
    FaultPlan &f = server.faults();
    if (args.isSet(QStringLiteral("greeting")))
        f.greetingCode = toInt(args.value(QStringLiteral("greeting")), QStringLiteral("greeting"));
    if (args.isSet(QStringLiteral("split"))) {
        for (const QString &at : args.value(QStringLiteral("split")).split(QLatin1Char(',')))
            f.splitAt.append(toInt(at, QStringLiteral("split offset")));
    }
    if (args.isSet(QStringLiteral("random-splits")))
        f.randomSplits = toInt(args.value(QStringLiteral("random-splits")), QStringLiteral("count"));
    if (args.isSet(QStringLiteral("seed")))
        f.splitSeed = quint32(toInt(args.value(QStringLiteral("seed")), QStringLiteral("seed")));
    if (args.isSet(QStringLiteral("split-pause")))
        f.splitPauseMs = toInt(args.value(QStringLiteral("split-pause")), QStringLiteral("pause"));
    if (args.isSet(QStringLiteral("coalesce")))
        f.repliesPerSegment = toInt(args.value(QStringLiteral("coalesce")), QStringLiteral("count"));
    for (const QString &spec : args.values(QStringLiteral("silence"))) {
        // SECONDS[:COMMAND[:TIMES]]
        const QStringList parts = spec.split(QLatin1Char(':'));
        Silence s;
        const int seconds = toInt(parts[0], QStringLiteral("seconds"));
        s.msecs = seconds < 0 ? -1 : seconds * 1000;
        s.command = parts.size() > 1 ? parts[1].toUtf8() : QByteArray();
        s.times = parts.size() > 2 ? toInt(parts[2], QStringLiteral("times")) : 1;
        f.silences.append(s);
    }
    for (const QString &spec : args.values(QStringLiteral("force"))) {
        // COMMAND=CODE[:TIMES[:TEXT]]
        const qsizetype eq = spec.indexOf(QLatin1Char('='));
        if (eq <= 0)
            fail(QStringLiteral("--force wants COMMAND=CODE[:TIMES[:TEXT]], not %1").arg(spec));
        const QStringList parts = spec.mid(eq + 1).split(QLatin1Char(':'));
        ForcedReply r;
        r.command = spec.left(eq).toUtf8();
        r.code = toInt(parts[0], QStringLiteral("code"));
        r.times = parts.size() > 1 ? toInt(parts[1], QStringLiteral("times")) : -1;
        if (parts.size() > 2)
            r.text = parts.mid(2).join(QLatin1Char(':')).toUtf8();
        f.forcedReplies.append(r);
    }
    if (args.isSet(QStringLiteral("trickle"))) {
        // COMMAND[:BYTES[:MS]]
        const QStringList parts = args.value(QStringLiteral("trickle")).split(QLatin1Char(':'));
        f.trickleCommand = parts[0].toUtf8();
        f.trickleBytes = parts.size() > 1 ? toInt(parts[1], QStringLiteral("bytes")) : 1;
        f.tricklePauseMs = parts.size() > 2 ? toInt(parts[2], QStringLiteral("milliseconds")) : 1000;
    }
    if (args.isSet(QStringLiteral("overview-flood")))
        f.overviewFlood = toInt(args.value(QStringLiteral("overview-flood")), QStringLiteral("lines"));
    if (args.isSet(QStringLiteral("empty-range")))
        f.emptyRangeCode = toInt(args.value(QStringLiteral("empty-range")), QStringLiteral("code"));
    if (args.isSet(QStringLiteral("drop-article"))) {
        const QStringList parts = args.value(QStringLiteral("drop-article")).split(QLatin1Char(':'));
        f.dropArticleAfterBytes = toInt(parts[0], QStringLiteral("bytes"));
        f.dropTimes = parts.size() > 1 ? toInt(parts[1], QStringLiteral("times")) : 1;
    }
    if (args.isSet(QStringLiteral("latency")))
        f.latencyMs = toInt(args.value(QStringLiteral("latency")), QStringLiteral("latency"));
    if (args.isSet(QStringLiteral("max-connections")))
        f.connectionLimit = toInt(args.value(QStringLiteral("max-connections")), QStringLiteral("count"));
    for (const QString &spec : args.values(QStringLiteral("renumber"))) {
        const qsizetype eq = spec.indexOf(QLatin1Char('='));
        if (eq <= 0)
            fail(QStringLiteral("--renumber wants GROUP=SHIFT, not %1").arg(spec));
        server.setNumberShift(spec.left(eq).toUtf8(), toInt(spec.mid(eq + 1), QStringLiteral("shift")));
    }
    if (args.isSet(QStringLiteral("auth"))) {
        const QString spec = args.value(QStringLiteral("auth"));
        const qsizetype colon = spec.indexOf(QLatin1Char(':'));
        if (colon < 0)
            fail(QStringLiteral("--auth wants USER:PASSWORD"));
        server.setCredentials(spec.left(colon).toUtf8(), spec.mid(colon + 1).toUtf8(), true);
    }
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("newsd"));

    QCommandLineParser args;
    args.setApplicationDescription(
        QStringLiteral("A small NNTP server for tests and demos. Prints the port it listens on, then serves "
                       "until SIGINT or SIGTERM."));
    args.addHelpOption();
    const auto opt = [&](const char *name, const char *help, const char *value = nullptr) {
        args.addOption(value ? QCommandLineOption(QString::fromLatin1(name), QString::fromLatin1(help),
                                                  QString::fromLatin1(value))
                             : QCommandLineOption(QString::fromLatin1(name), QString::fromLatin1(help)));
    };
    opt("port", "Port to listen on (default 0: any free port).", "port");
    opt("listen", "Address to listen on (default 127.0.0.1).", "address");
    opt("folder", "Serve <dir>/<group.name>/<number> article files.", "dir");
    opt("generate", "Serve a generated group; repeatable.", "name=count[@first]");
    opt("gap-every", "Generated groups miss every article number divisible by n.", "n");
    opt("sample-seed", "Seed of the generated articles.", "n");
    opt("multipart", "Generated groups also post pictures in several parts.");
    opt("auth", "Require this login.", "user:password");
    opt("greeting", "Greeting code (400 and 502 close the connection).", "code");
    opt("split", "Cut every reply at these byte offsets.", "n,n,...");
    opt("random-splits", "Cut every written piece at n random offsets.", "n");
    opt("seed", "Seed of the random cuts.", "n");
    opt("split-pause", "Milliseconds between the pieces of a cut reply.", "ms");
    opt("coalesce", "Write n replies to one segment.", "n");
    opt("silence",
        "Say nothing for a while (-1: for ever) before the greeting, or before "
        "answering COMMAND; repeatable.",
        "seconds[:command[:times]]");
    opt("force", "Answer CODE to COMMAND (the next TIMES times); repeatable.", "command=code[:times[:text]]");
    opt("trickle", "Write every reply to COMMAND BYTES at a time (default 1), MS apart (default 1000).",
        "command[:bytes[:ms]]");
    opt("overview-flood", "Answer every XOVER/OVER with LINES lines, past the range asked for.", "lines");
    opt("empty-range", "Answer CODE to XOVER/OVER for a range without articles (default 423).", "code");
    opt("drop-article", "Close the connection after this many bytes of an ARTICLE or BODY reply.",
        "bytes[:times]");
    opt("latency", "Carry out each command this many milliseconds after it arrived.", "ms");
    opt("max-connections", "Greet connections beyond this many open ones with 502 and close them.", "n");
    opt("renumber", "Show a group's article numbers shifted; repeatable.", "group=shift");
    opt("tls-cert", "Serve NNTPS with this PEM certificate (needs --tls-key).", "file");
    opt("tls-key", "The PEM private key of --tls-cert (unencrypted).", "file");
    opt("log", "Print every command received to standard error.");
    args.process(app);

    std::shared_ptr<ArticleStore> store;
    if (args.isSet(QStringLiteral("folder"))) {
        store = std::make_shared<FolderStore>(args.value(QStringLiteral("folder")));
    } else {
        const qint64 gap = args.isSet(QStringLiteral("gap-every"))
                               ? toInt(args.value(QStringLiteral("gap-every")), QStringLiteral("gap"))
                               : 0;
        QList<SampleGroup> groups;
        for (const QString &spec : args.values(QStringLiteral("generate")))
            groups.append(parseGroup(spec, gap));
        if (groups.isEmpty()) {
            groups.append(parseGroup(QStringLiteral("alt.binaries.pictures.kestrel=500"), gap));
            groups.append(parseGroup(QStringLiteral("alt.binaries.pictures.misc=200@1000"), gap));
        }
        const quint32 seed =
            args.isSet(QStringLiteral("sample-seed"))
                ? quint32(toInt(args.value(QStringLiteral("sample-seed")), QStringLiteral("seed")))
                : 1;
        auto samples = std::make_shared<SampleStore>(groups, seed);
        samples->setMultiPart(args.isSet(QStringLiteral("multipart")));
        store = samples;
    }

    NewsServer server(store);
    applyFaults(args, server);
    const bool certGiven = args.isSet(QStringLiteral("tls-cert"));
    if (certGiven != args.isSet(QStringLiteral("tls-key")))
        fail(QStringLiteral("--tls-cert and --tls-key go together"));
    if (certGiven) {
        QSslCertificate certificate;
        QSslKey key;
        const QString error = loadTlsFiles(args.value(QStringLiteral("tls-cert")),
                                           args.value(QStringLiteral("tls-key")), certificate, key);
        if (!error.isEmpty())
            fail(error);
        if (!QSslSocket::supportsSsl())
            fail(QStringLiteral("this system offers no TLS support"));
        server.setTls(certificate, key);
    }
    if (args.isSet(QStringLiteral("log"))) {
        QObject::connect(&server, &NewsServer::commandReceived, [](int connection, const QByteArray &line) {
            std::fprintf(stderr, "%d: %s\n", connection, line.constData());
        });
        QObject::connect(&server, &NewsServer::handshakeFailed, [](const QString &reason) {
            std::fprintf(stderr, "TLS handshake failed: %s\n", qPrintable(reason));
        });
    }
    const quint16 port = args.isSet(QStringLiteral("port"))
                             ? quint16(toInt(args.value(QStringLiteral("port")), QStringLiteral("port")))
                             : 0;
    const QHostAddress address(args.isSet(QStringLiteral("listen")) ? args.value(QStringLiteral("listen"))
                                                                    : QStringLiteral("127.0.0.1"));
    if (!server.listen(port, address))
        fail(QStringLiteral("cannot listen on %1 port %2").arg(address.toString()).arg(port));
    std::printf("%u\n", unsigned(server.port()));
    std::fflush(stdout);

    quitOnSignals(app);
    return app.exec();
}
