// CPU per byte of putting a 6 MB picture together from 8 yEnc parts, beside the same
// picture from one single-part article. The article texts are in memory, as the
// download session hands them over. The decoder-only rows write the picture to a file;
// the pipeline rows take it all the way to a filed picture (image test, filing, the
// no-re-download list), each through the call the program makes for it.
#include "bench_pipeline.h"
#include "decode/article_capture.h"
#include "decode/decode_file.h"
#include "decode/download_folders.h"
#include "decode/picture_assembly.h"
#include "decode/prepared_article.h"
#include "newsd/binary_encoders.h"
#include "newsd/multipart_posts.h"
#include "newsd/news_session.h"
#include "newsd/sample_jpeg.h"

#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <algorithm>
#include <random>

using namespace kestrel;

namespace {

constexpr qsizetype kPictureSize = 6'000'000;
constexpr int kParts = 8;
const QByteArray kName = "IMG_6000.jpg";
const QByteArray kGroup = "alt.binaries.pictures";

struct Articles {
    QByteArray picture;
    QByteArray single;
    QList<QByteArray> parts; // in part order
};

QByteArray singleArticle(const QByteArray &picture)
{
    const QByteArray size = QByteArray::number(picture.size());
    const quint32 crc =
        quint32(crc32(0L, reinterpret_cast<const Bytef *>(picture.constData()), uInt(picture.size())));
    return "=ybegin line=128 size=" + size + " name=" + kName + "\r\n" + newsd::yencLines(picture) +
           "=yend size=" + size + " crc32=" + QByteArray::number(crc, 16).rightJustified(8, '0') + "\r\n";
}

QByteArray randomPicture()
{
    QByteArray out(kPictureSize, Qt::Uninitialized);
    std::mt19937 random(2026);
    for (char &c : out)
        c = char(random() & 0xFF);
    return out;
}

const Articles &articles()
{
    static const Articles a = [] {
        Articles out;
        out.picture = randomPicture();
        out.single = "Subject: \"" + kName + "\" yEnc (1/1)\r\n\r\n" + singleArticle(out.picture);
        for (const newsd::PartPost &p :
             newsd::multiPartPosts(out.picture, kName, kParts, newsd::PartEncoding::Yenc))
            out.parts.append("Subject: " + p.subject + "\r\n\r\n" + p.body);
        return out;
    }();
    return a;
}

qint64 totalBytes(const QList<QByteArray> &texts)
{
    qint64 n = 0;
    for (const QByteArray &text : texts)
        n += text.size();
    return n;
}

// The parts in the order they arrive: in part order, or the last first (the first write
// then fills the room before it).
QList<QByteArrayView> arrivalOrder(bool reversed)
{
    QList<QByteArrayView> out;
    for (const QByteArray &part : articles().parts)
        out.append(part);
    if (reversed)
        std::reverse(out.begin(), out.end());
    return out;
}

struct Folder {
    QTemporaryDir dir;
    QString dest = dir.path() + QStringLiteral("/") + QString::fromLatin1(kName);
    bool checked = false;

    // The first picture made is compared with the original, outside the timed part; the
    // file is removed after each, as a new picture normally finds none of its name.
    bool finish(benchmark::State &state)
    {
        state.PauseTiming();
        bool ok = true;
        if (!checked) {
            QFile file(dest);
            ok = file.open(QIODevice::ReadOnly) && file.readAll() == articles().picture;
            checked = true;
        }
        QFile::remove(dest);
        state.ResumeTiming();
        if (!ok)
            state.SkipWithError("the picture written differs from the one posted");
        return ok;
    }
};

void reportBytes(benchmark::State &state, qint64 articleBytes)
{
    state.SetBytesProcessed(state.iterations() * kPictureSize);
    state.counters["article_bytes"] = double(articleBytes);
}

// Decoder only: the article texts without status line or dot-stuffing, the picture
// written to a file and nothing more.

// One 6 MB single-part article through the decoder entry point of the download.
void BM_SinglePart(benchmark::State &state)
{
    Folder folder;
    QByteArray scratch;
    for (auto _ : state) {
        const DecodeOutcome out = decodeArticleToFile(articles().single, folder.dest, {}, &scratch);
        if (!out.ok) {
            state.SkipWithError(qPrintable(out.message));
            break;
        }
        if (!folder.finish(state))
            break;
    }
    reportBytes(state, articles().single.size());
}
BENCHMARK(BM_SinglePart)->Unit(benchmark::kMillisecond);

// The 8 parts, each through the same entry point into the same file (opened per part).
void BM_PartsEachDecodedToFile(benchmark::State &state)
{
    Folder folder;
    QByteArray scratch;
    const QList<QByteArrayView> parts = arrivalOrder(state.range(0) != 0);
    for (auto _ : state) {
        for (const QByteArrayView text : parts) {
            const DecodeOutcome out = decodeArticleToFile(text, folder.dest, {}, &scratch);
            if (!out.ok)
                state.SkipWithError(qPrintable(out.message));
        }
        if (!folder.finish(state))
            break;
    }
    reportBytes(state, totalBytes(articles().parts));
}
BENCHMARK(BM_PartsEachDecodedToFile)->ArgName("reversed")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The whole pipeline, as the program runs it, on a real JPEG of the same size: from the
// article texts the download connection hands over (status line, dot-stuffed body, end
// line; BODY was asked for) to the picture filed in its group folder.
struct PipelineArticles {
    QByteArray picture;
    QByteArray single;
    QList<QByteArray> parts; // in part order
};

QByteArray bodyReply(int number, QByteArrayView body)
{
    return "222 " + QByteArray::number(number) + " <" + QByteArray::number(number) + "@bench> body\r\n" +
           newsd::dotStuffed(body) + ".\r\n";
}

const PipelineArticles &pipelineArticles()
{
    static const PipelineArticles a = [] {
        PipelineArticles out;
        out.picture = newsd::makeSampleJpeg(64, 48, kPictureSize, 2026);
        out.single = bodyReply(1, singleArticle(out.picture));
        int number = 1;
        for (const newsd::PartPost &p :
             newsd::multiPartPosts(out.picture, kName, kParts, newsd::PartEncoding::Yenc))
            out.parts.append(bodyReply(++number, p.body));
        return out;
    }();
    return a;
}

// A download folder of its own, the no-re-download list and the pipeline as the engine
// wires them, and the assembly on top. The name is on the list from the start, as after
// the first picture of a run: recording it again leaves NOREDL.TXT as it is, and the
// pipeline never refuses a yEnc picture for a name already fetched (the filter does).
struct Pipeline : bench::BenchPipeline {
    PictureAssembly assembly{pipeline};
    QString filed;
    bool checked = false;

    Pipeline()
    {
        noRedl.addToNoRedl(kName);
        ctx.state.currentArticle.text = kName;
        ctx.state.currentArticle.sub.newsgroup = kGroup;
        ctx.state.currentArticle.sub.subject = "\"" + kName + "\" yEnc";
        const QByteArray sub = groupSubfolderName(kGroup, ctx.settings.checked(u"chkMakeSubDirs"),
                                                  ctx.settings.checked(u"chkShortFolderNames"));
        filed = dl + QStringLiteral("/") + QString::fromLatin1(sub) + QStringLiteral("/") +
                QString::fromLatin1(kName);
    }

    RetrievedArticle retrieved(const QByteArray &text) const
    {
        RetrievedArticle a;
        a.buffer = text;
        a.fileName = kName;
        a.group = kGroup;
        a.bytes = text.size();
        a.downloadStart = ctx.clock.now();
        a.downloadEnd = a.downloadStart;
        return a;
    }

    // Every picture must be filed; the first is compared with the one posted. The
    // picture goes, outside the timed part, as a new one normally finds no file of its
    // name (it would be filed beside it under a numbered name).
    bool finish(benchmark::State &state, bool stored)
    {
        state.PauseTiming();
        QString error;
        if (!stored) {
            error = QStringLiteral("the picture was not filed");
        } else if (!checked) {
            QFile file(filed);
            if (!file.open(QIODevice::ReadOnly) || file.readAll() != pipelineArticles().picture)
                error = QStringLiteral("the picture filed differs from the one posted");
            checked = true;
        }
        if (!QFile::remove(filed) && error.isEmpty())
            error = QStringLiteral("no picture at ") + filed;
        if (assembly.inProgress() != 0 && error.isEmpty())
            error = QStringLiteral("a picture is left half assembled");
        state.ResumeTiming();
        if (!error.isEmpty())
            state.SkipWithError(qPrintable(error));
        return error.isEmpty();
    }
};

void reportPipelineBytes(benchmark::State &state, qint64 articleBytes)
{
    state.SetBytesProcessed(state.iterations() * pipelineArticles().picture.size());
    state.counters["article_bytes"] = double(articleBytes);
}

// The single-part article through articleRetrieved. prepared:1 is the program's path
// for a single article: prepareArticle (unstuffing and decoding, on the decode worker in
// the program, here on the same thread so that its CPU time counts), then the writing,
// test and filing. prepared:0 decodes in the pipeline itself, as without the worker.
void BM_PipelineSingleArticle(benchmark::State &state)
{
    Pipeline p;
    const bool viaWorker = state.range(0) != 0;
    const QByteArray &text = pipelineArticles().single;
    for (auto _ : state) {
        RetrievedArticle a = p.retrieved(text);
        DecodeResult result = DecodeResult::Nothing;
        if (viaWorker) {
            const PreparedArticle prepared = prepareArticle(text, false);
            a.buffer = prepared.article;
            a.prepared = &prepared;
            result = articleRetrieved(p.pipeline, a);
        } else {
            result = articleRetrieved(p.pipeline, a);
        }
        if (!p.finish(state, result == DecodeResult::Stored))
            break;
    }
    reportPipelineBytes(state, text.size());
}
BENCHMARK(BM_PipelineSingleArticle)->ArgName("prepared")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The 8 parts through PictureAssembly::partRetrieved in part order, as one connection
// delivers them: each decoded and written into the work file, the last one filing the
// picture. Parts out of order are refused by the assembly, so there is no such row.
void BM_PipelineParts(benchmark::State &state)
{
    Pipeline p;
    const QList<QByteArray> &texts = pipelineArticles().parts;
    QList<RetrievedPart> parts;
    for (qsizetype i = 0; i < texts.size(); ++i)
        parts.append(RetrievedPart{kGroup + "/2", int(i + 1), int(texts.size()), p.retrieved(texts[i])});
    for (auto _ : state) {
        PartOutcome out;
        for (const RetrievedPart &part : parts)
            out = p.assembly.partRetrieved(part);
        const bool stored = out.result == PartResult::Finished && out.decoded == DecodeResult::Stored;
        if (!p.finish(state, stored))
            break;
    }
    reportPipelineBytes(state, totalBytes(texts));
}
BENCHMARK(BM_PipelineParts)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
