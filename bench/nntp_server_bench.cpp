// Overview throughput of the test server on loopback: a generated group of 1,000,000
// articles read with XOVER in ranges, by a client taking the lines as they arrive.
// Server and client share this one thread, as they do in the tests.

#include "newsd/news_server.h"
#include "newsd/sample_store.h"
#include "nntp/reply_reader.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTcpSocket>
#include <QTimer>

#include <benchmark/benchmark.h>

using kestrel::ReplyReader;

namespace {

const QByteArray kGroup = "alt.binaries.pictures.million";
constexpr qint64 kArticles = 1000000;

struct Client {
    QTcpSocket socket;
    ReplyReader reader;
    qint64 lines = 0;
    qint64 bytes = 0;
    bool done = false;
    QEventLoop loop;

    // Runs the loop until the reply to `command` has been read whole.
    bool exchange(const QByteArray &command,
                  ReplyReader::Delivery delivery = ReplyReader::Delivery::WholeBlock)
    {
        reader.expect(ReplyReader::multiLineCodeFor(command), delivery);
        done = false;
        socket.write(command + "\r\n");
        QTimer::singleShot(600000, &loop, &QEventLoop::quit);
        loop.exec();
        return done;
    }

    void take()
    {
        const QByteArray data = socket.readAll();
        bytes += data.size();
        reader.feed(data);
        for (ReplyReader::Event e = reader.next(); e != ReplyReader::Event::NeedMore; e = reader.next()) {
            if (e == ReplyReader::Event::Line) {
                ++lines;
                continue;
            }
            if (e == ReplyReader::Event::Reply && reader.inLineBlock())
                continue; // the status line of a block that follows line by line
            done = true;
            loop.quit();
            if (e == ReplyReader::Event::Overflow)
                return;
        }
    }
};

void BM_ServerXover(benchmark::State &state)
{
    kestrel::newsd::NewsServer server(std::make_shared<kestrel::newsd::SampleStore>(
        QList<kestrel::newsd::SampleGroup>{{kGroup, 1, kArticles}}));
    if (!server.listen()) {
        state.SkipWithError("cannot listen");
        return;
    }
    Client client;
    QObject::connect(&client.socket, &QTcpSocket::readyRead, [&client] { client.take(); });
    client.socket.connectToHost(QHostAddress::LocalHost, server.port());
    client.reader.expect();
    client.done = false;
    client.loop.exec(); // the greeting
    client.exchange("GROUP " + kGroup);

    const qint64 range = state.range(0);
    qint64 from = 1;
    for (auto _ : state) {
        const qint64 to = std::min(kArticles, from + range - 1);
        if (!client.exchange("XOVER " + QByteArray::number(from) + '-' + QByteArray::number(to),
                             ReplyReader::Delivery::Lines)) {
            state.SkipWithError("no reply");
            break;
        }
        from = to >= kArticles ? 1 : to + 1;
    }
    state.SetItemsProcessed(client.lines);
    state.SetBytesProcessed(client.bytes);
}

} // namespace

// 100,000 lines a request (ten requests read the whole group), and the whole million at once.
BENCHMARK(BM_ServerXover)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ServerXover)->Arg(kArticles)->Iterations(1)->Unit(benchmark::kMillisecond);
