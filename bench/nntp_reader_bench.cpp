// Throughput of the reply reader on large ARTICLE and XOVER replies, fed in segments of
// various sizes as the socket would deliver them.

#include "newsd/news_session.h"
#include "newsd/sample_store.h"
#include "nntp/reply_reader.h"

#include <benchmark/benchmark.h>

using kestrel::ReplyReader;

namespace {

const QByteArray kGroup = "alt.binaries.pictures.bench";

// About 1 MiB of yEnc and uuencode article text, dot-stuffed, as one 220 reply.
const QByteArray &articleReply()
{
    static const QByteArray reply = [] {
        kestrel::newsd::SampleStore store({{kGroup, 1, 200}});
        QByteArray text;
        for (qint64 n = 1; text.size() < 1024 * 1024; ++n)
            text += store.body(kGroup, n);
        return "220 1 <1@bench>\r\n" + kestrel::newsd::dotStuffed(text) + ".\r\n";
    }();
    return reply;
}

// 20,000 overview lines as one 224 reply.
const QByteArray &overviewReply()
{
    static const QByteArray reply = [] {
        kestrel::newsd::SampleStore store({{kGroup, 1, 20000}});
        QByteArray text = "224 Overview information follows\r\n";
        for (qint64 n = 1; n <= 20000; ++n)
            text += QByteArray::number(n) + '\t' + store.overviewFields(kGroup, n) + "\r\n";
        return text + ".\r\n";
    }();
    return reply;
}

// Feeds the reply in segments of state.range(0) bytes and takes what the reader hands out.
void run(benchmark::State &state, const QByteArray &reply, int code, ReplyReader::Delivery delivery)
{
    const qsizetype segment = state.range(0);
    const qint64 lines = reply.count('\n');
    for (auto _ : state) {
        ReplyReader reader;
        reader.expect(code, delivery);
        qint64 items = 0;
        for (qsizetype pos = 0; pos < reply.size(); pos += segment) {
            reader.feed(QByteArrayView(reply).sliced(pos, std::min(segment, reply.size() - pos)));
            for (ReplyReader::Event e = reader.next(); e != ReplyReader::Event::NeedMore; e = reader.next()) {
                if (e == ReplyReader::Event::Line)
                    benchmark::DoNotOptimize(reader.line().data());
                ++items;
            }
        }
        if (items == 0)
            state.SkipWithError("no reply");
        benchmark::DoNotOptimize(reader.reply().raw.data());
    }
    state.SetBytesProcessed(state.iterations() * reply.size());
    state.SetItemsProcessed(state.iterations() * lines);
}

void BM_ArticleWhole(benchmark::State &state)
{
    run(state, articleReply(), 220, ReplyReader::Delivery::WholeBlock);
}

void BM_XoverWhole(benchmark::State &state)
{
    run(state, overviewReply(), 224, ReplyReader::Delivery::WholeBlock);
}

void BM_XoverLines(benchmark::State &state)
{
    run(state, overviewReply(), 224, ReplyReader::Delivery::Lines);
}

} // namespace

// Segment sizes: a typical loopback read, one Ethernet frame's payload, and a tiny one
// that would show any rescanning of the buffer as a quadratic slowdown.
BENCHMARK(BM_ArticleWhole)->Arg(65536)->Arg(1460)->Arg(16);
BENCHMARK(BM_XoverWhole)->Arg(65536)->Arg(1460)->Arg(16);
BENCHMARK(BM_XoverLines)->Arg(65536)->Arg(1460)->Arg(16);

BENCHMARK_MAIN();
