// Throughput of the decoders on a 1 MB picture, in decoded bytes per second. No files:
// the article text is in memory, as the download session hands it over.
#include "decode/base64_decoder.h"
#include "decode/codecs_test_support.h" // the same independent yEnc encoder the tests use
#include "decode/decode_file.h"
#include "decode/uu_decoder.h"
#include "decode/yenc_decoder.h"
#include "decode/yenc_kernel.h"

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <string_view>

using namespace kestrel;

namespace {

constexpr std::size_t PictureSize = 1'000'000;

const QByteArray &picture()
{
    static const QByteArray data = test::randomBytes(PictureSize, 2026);
    return data;
}

QByteArray uuencodeLines(const QByteArray &data)
{
    auto enc = [](unsigned v) { return static_cast<char>(v == 0 ? '`' : v + 32); };
    QByteArray out = "begin 644 pic.jpg\r\n";
    for (qsizetype at = 0; at < data.size(); at += 45) {
        const QByteArray line = data.mid(at, 45);
        out += enc(static_cast<unsigned>(line.size()));
        for (qsizetype i = 0; i < line.size(); i += 3) {
            const auto b = [&](qsizetype k) {
                return i + k < line.size() ? static_cast<unsigned char>(line[i + k]) : 0u;
            };
            const unsigned v = b(0) << 16 | b(1) << 8 | b(2);
            out += enc(v >> 18 & 63);
            out += enc(v >> 12 & 63);
            out += enc(v >> 6 & 63);
            out += enc(v & 63);
        }
        out += "\r\n";
    }
    return out + "`\r\nend\r\n";
}

QByteArray base64Lines(const QByteArray &data)
{
    const QByteArray flat = data.toBase64();
    QByteArray out;
    for (qsizetype at = 0; at < flat.size(); at += 76)
        out += flat.mid(at, 76) + "\r\n";
    return out;
}

void setBytes(benchmark::State &state)
{
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(PictureSize));
}

void BM_YencKernel(benchmark::State &state)
{
    const auto kernel = static_cast<yenc::Kernel>(state.range(0));
    if (!yenc::kernelSupported(kernel)) {
        state.SkipWithError("kernel not supported here");
        return;
    }
    const yenc::KernelFn fn = yenc::kernelFunction(kernel);
    const QByteArray body = test::yencEncodeBody(picture(), 128);
    QByteArray out(body.size(), Qt::Uninitialized);
    for (auto _ : state) {
        bool esc = false;
        const std::size_t n =
            fn(reinterpret_cast<const std::uint8_t *>(body.constData()),
               static_cast<std::size_t>(body.size()), reinterpret_cast<std::uint8_t *>(out.data()), esc);
        benchmark::DoNotOptimize(n);
        benchmark::ClobberMemory();
    }
    setBytes(state);
}
BENCHMARK(BM_YencKernel)
    ->Arg(static_cast<int>(yenc::Kernel::Portable))
    ->Arg(static_cast<int>(yenc::Kernel::Ssse3))
    ->Arg(static_cast<int>(yenc::Kernel::Avx2));

// The whole in-memory decode of a single-part article: markers, kernel, CRC32 check.
void BM_YencArticle(benchmark::State &state)
{
    const QByteArray text = test::yencArticle(test::YencPost{picture()});
    const DecodeHooks quiet;
    for (auto _ : state) {
        DecodedFile out;
        const QString e = yEncDecodeText(text, QStringLiteral("pic.jpg"), quiet, out);
        benchmark::DoNotOptimize(out.bytes.constData());
        if (!e.isEmpty())
            state.SkipWithError("decode failed");
    }
    setBytes(state);
}
BENCHMARK(BM_YencArticle);

void BM_UuDecode(benchmark::State &state)
{
    const QByteArray text = uuencodeLines(picture());
    const std::string_view body(text.constData() + text.indexOf('\n') + 1,
                                static_cast<std::size_t>(text.size() - text.indexOf('\n') - 1));
    for (auto _ : state) {
        CodecResult r = uuDecodeBody(body);
        benchmark::DoNotOptimize(r.bytes.constData());
        if (r.bytes != picture())
            state.SkipWithError("uudecode mismatch");
    }
    setBytes(state);
}
BENCHMARK(BM_UuDecode);

void BM_Base64Decode(benchmark::State &state)
{
    const QByteArray text = base64Lines(picture());
    for (auto _ : state) {
        CodecResult r =
            base64Decode(std::string_view(text.constData(), static_cast<std::size_t>(text.size())));
        benchmark::DoNotOptimize(r.bytes.constData());
        if (r.bytes.size() != picture().size())
            state.SkipWithError("base64 mismatch");
    }
    setBytes(state);
}
BENCHMARK(BM_Base64Decode);

// Through the article-level entry point (detection, item search, decode), no file.
void BM_UuArticle(benchmark::State &state)
{
    const QByteArray text = "Subject: pic.jpg\r\n\r\n" + uuencodeLines(picture());
    const DecodeHooks quiet;
    for (auto _ : state) {
        DecodeOutcome out = decodeArticleText(text, QStringLiteral("pic.jpg"), quiet);
        benchmark::DoNotOptimize(out.file.bytes.constData());
    }
    setBytes(state);
}
BENCHMARK(BM_UuArticle);

// zlib's CRC-32, which the yEnc trailer check runs over every decoded part.
void BM_Crc32(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(test::crc32Of(picture()));
    setBytes(state);
}
BENCHMARK(BM_Crc32);

} // namespace

BENCHMARK_MAIN();
