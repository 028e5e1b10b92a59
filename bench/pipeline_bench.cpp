// The whole decode pipeline for one 500 KB yEnc JPEG article: from the article text as
// the download session hands it over to the picture filed in its group folder.
#include "bench_pipeline.h"
#include "decode/article_capture.h"
#include "decode/codecs_test_support.h"

#include <QFile>

#include <benchmark/benchmark.h>

using namespace kestrel;

namespace {

constexpr qsizetype PictureSize = 500'000;

// Random bytes shaped as a JFIF picture: identifier, a start-of-frame marker near the
// start and the end-of-image marker at the end, so the picture test runs in full.
QByteArray jpegPicture()
{
    QByteArray p = test::randomBytes(PictureSize, 2026);
    p.replace(0, 11, QByteArray("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00", 11));
    p.replace(20, 2, "\xFF\xC0");
    p.replace(PictureSize - 2, 2, "\xFF\xD9");
    return p;
}

const QByteArray &articleText()
{
    static const QByteArray text = "220 1 <a@b> article\r\n" + test::yencArticle({jpegPicture()}) + ".\r\n";
    return text;
}

struct Setup : bench::BenchPipeline {
    Setup() { ctx.settings.setChecked(u"chkSaveHeaders", true); }
};

void reportBytes(benchmark::State &state)
{
    state.SetBytesProcessed(state.iterations() * articleText().size());
    state.counters["article_bytes"] = double(articleText().size());
}

// The steady state: the same name each time, so the no-re-download list already holds
// it and is not rewritten. The filed picture is removed outside the timed part, as a
// new picture normally finds no file of its name (overwriting one makes ext4 flush it).
void BM_DecodeArticleYencJpeg(benchmark::State &state)
{
    Setup s;
    const QByteArray &text = articleText();
    for (auto _ : state) {
        const DecodeResult r = s.pipeline.decodeArticle(text, "alt.binaries.pictures", "pic.jpg", {});
        state.PauseTiming();
        if (r != DecodeResult::Stored)
            state.SkipWithError("not stored");
        QFile::remove(s.dl + "/alt.binaries.pictures/pic.jpg");
        state.ResumeTiming();
    }
    reportBytes(state);
}
BENCHMARK(BM_DecodeArticleYencJpeg)->Unit(benchmark::kMillisecond);

// A new name each time: the list grows and NOREDL.TXT is rewritten (atomically) for
// every picture. The pictures are removed outside the timed part.
void BM_DecodeArticleYencJpegNewName(benchmark::State &state)
{
    Setup s;
    const QByteArray &text = articleText();
    qint64 n = 0;
    for (auto _ : state) {
        const QByteArray name = "pic" + QByteArray::number(++n) + ".jpg";
        const DecodeResult r = s.pipeline.decodeArticle(text, "alt.binaries.pictures", name, {});
        state.PauseTiming();
        if (r != DecodeResult::Stored)
            state.SkipWithError("not stored");
        QFile::remove(s.dl + "/alt.binaries.pictures/" + QString::fromLatin1(name));
        state.ResumeTiming();
    }
    reportBytes(state);
}
BENCHMARK(BM_DecodeArticleYencJpegNewName)->Unit(benchmark::kMillisecond);

// Through articleRetrieved, as a CSV article: CRC-32 of the picture, move into its series
// folder and the header file beside it. Picture and header file are removed outside the
// timed part, as in the steady state above.
void BM_ArticleRetrievedCsvVerified(benchmark::State &state)
{
    Setup s;
    s.ctx.settings.setChecked(u"chkMakeSubDirs", true);
    s.ctx.settings.setChecked(u"chkShortFolderNames", true);
    s.csv.addCsvText("2002_Sunsets_index",
                     "PIC.JPG,1," + QByteArray::number(test::crc32Of(jpegPicture()), 16) + ",x\r\n");
    s.csv.setCsvLoaded(true);
    s.ctx.state.currentArticle.smallIcon = 3;
    RetrievedArticle a;
    a.buffer = articleText();
    a.fileName = "pic.jpg";
    a.group = "alt.binaries.pictures.sunsets";
    a.bytes = articleText().size();
    a.downloadStart = s.ctx.clock.now();
    a.headersRequested = true;
    for (auto _ : state) {
        const DecodeResult r = articleRetrieved(s.pipeline, a);
        state.PauseTiming();
        if (r != DecodeResult::VerifiedMoved)
            state.SkipWithError("not verified");
        QFile::remove(s.dl + "/Sunsets/pic.jpg");
        QFile::remove(s.dl + "/Sunsets/pic.TXT");
        state.ResumeTiming();
    }
    reportBytes(state);
}
BENCHMARK(BM_ArticleRetrievedCsvVerified)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
