// Decoding on the worker thread and filing afterwards gives what decoding in place
// gives, its checks on the bytes in memory included; the worker hands its articles back
// in order.
#include "pipeline_test_support.h"

#include "decode/decode_worker.h"
#include "decode/prepared_article.h"
#include "support/file_size_limit.h"
#include "support/wait.h"

#include <QFile>
#include <gtest/gtest.h>

#include <optional>

using namespace kestrel;
using namespace kestrel::test;

namespace {

struct Filed {
    DecodeResult result = DecodeResult::Nothing;
    QStringList log;   // with the download folder written as <dl>
    QStringList files; // relative to it, with their bytes
};

enum class Csv { None, Right, Wrong };

struct Filing {
    QByteArray name = "pic.jpg";
    Csv csv = Csv::None; // an index entry for the name, with jpegPicture(4000)'s CRC or another
    bool diskFull = false;
};

QByteArray patched(QByteArray p, qsizetype at, const QByteArray &bytes)
{
    p.replace(at, bytes.size(), bytes);
    return p;
}

// Files the article once, decoded in place or prepared as the worker does it.
Filed fileOnce(const QByteArray &article, bool prepared, const Filing &how = {})
{
    PipelineWorld w;
    w.ctx.settings.setChecked(u"chkSaveDecodes", true);
    w.ctx.settings.setChecked(u"chkCSVsavebadcrc", true);
    if (how.csv != Csv::None) {
        const QByteArray crc = how.csv == Csv::Right
                                   ? "&H" + QByteArray::number(crc32Of(jpegPicture(4000)), 16)
                                   : QByteArray("&H1234");
        w.csv.addCsvText("series_index", how.name.toUpper() + ",1," + crc + ",A picture\r\n");
        w.csv.setCsvLoaded(true);
        w.ctx.state.currentArticle.smallIcon = 3;
    }
    std::optional<PreparedArticle> p;
    if (prepared)
        p = prepareArticle(article, true);
    Filed f;
    {
        std::optional<FileSizeLimit> full;
        if (how.diskFull)
            full.emplace(4096);
        f.result =
            w.pipeline.decodeArticle(article, "alt", how.name, {}, HeaderLines::Present, p ? &*p : nullptr);
    }
    for (const QString &line : std::as_const(w.logged))
        f.log << QString(line).replace(w.dl, QStringLiteral("<dl>"));
    for (const QString &file : w.files())
        f.files << file + QLatin1Char(' ') + QString::fromLatin1(w.read(file).toHex());
    return f;
}

void expectSameFiling(const QByteArray &article, const Filing &how, DecodeResult expected)
{
    const Filed here = fileOnce(article, false, how);
    const Filed there = fileOnce(article, true, how);
    EXPECT_EQ(here.result, expected);
    EXPECT_EQ(there.result, here.result);
    EXPECT_EQ(there.log, here.log) << here.log.join('\n').toStdString();
    EXPECT_EQ(there.files, here.files);
}

} // namespace

// The same outcome, the same log lines in the same order (the picture's path among
// them) and the same files, whatever the article holds.
TEST(PreparedArticle, FilesAsTheArticleDecodedInPlace)
{
    const QByteArray picture = jpegPicture() + QByteArray(8000, 'p');
    QByteArray damaged = yencBody(picture);
    // A stuffed line in the data: the kept text must be the unstuffed one.
    damaged.insert(damaged.indexOf("\r\n") + 2, "..\r\n");
    const struct {
        const char *what;
        QByteArray body;
        bool diskFull;
        DecodeResult expected;
    } cases[] = {
        {"yEnc", yencBody(picture), false, DecodeResult::Stored},
        {"yEnc, crc wrong", yencBody(picture, false), false, DecodeResult::DecodeFailed},
        {"yEnc, stuffed and damaged", damaged, false, DecodeResult::DecodeFailed},
        {"uuencode", uuencode(picture, "pic.jpg"), false, DecodeResult::Stored},
        {"nothing encoded", "just some text\r\n", false, DecodeResult::DecodeFailed},
        {"yEnc, disk full", yencBody(picture), true, DecodeResult::NotStored},
        {"uuencode, disk full", uuencode(picture, "pic.jpg"), true, DecodeResult::NotStored},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        expectSameFiling(articleReply(c.body), {"pic.jpg", Csv::None, c.diskFull}, c.expected);
    }
}

// The picture test and the CSV check of a prepared article work on the bytes decoded in
// memory; their verdicts must be those of the checks that read the written file back.
TEST(PreparedArticleChecks, GiveTheVerdictsOfTheWrittenFile)
{
    const QByteArray good = jpegPicture(4000);
    const struct {
        const char *what;
        QByteArray picture;
        QByteArray name;
        Csv csv;
        DecodeResult expected;
    } cases[] = {
        {"passes", good, "pic.jpg", Csv::None, DecodeResult::Stored},
        {"no ident", patched(good, 6, "JFIX"), "pic.jpg", Csv::None, DecodeResult::TestFailed},
        {"no end of image", patched(good, 3998, "xx"), "pic.jpg", Csv::None, DecodeResult::Stored},
        {"no frame", patched(good, 20, "xx"), "pic.jpg", Csv::None, DecodeResult::Stored},
        {"over 300k", jpegPicture(300001), "pic.jpg", Csv::None, DecodeResult::Stored},
        {"gif by name, not tested", patched(good, 6, "JFIX"), "pic.gif", Csv::None, DecodeResult::Stored},
        {"csv crc right", good, "pic.jpg", Csv::Right, DecodeResult::VerifiedMoved},
        {"csv crc wrong", good, "pic.jpg", Csv::Wrong, DecodeResult::CrcFailedKept},
        {"csv crc of another picture", patched(good, 100, "y"), "pic.jpg", Csv::Right,
         DecodeResult::CrcFailedKept},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        for (const QByteArray &body : {yencBody(c.picture), uuencode(c.picture, c.name)})
            expectSameFiling(articleReply(body), {c.name, c.csv}, c.expected);
    }
}

// In the order submitted, each once; what was discarded is never reported; a large
// article says it is under way before it is done.
TEST(DecodeWorker, ReportsInOrderAndForgetsWhatWasDiscarded)
{
    QByteArrayList names;
    int working = 0;
    int workingBeforeLarge = -1;
    DecodeWorker worker(
        [&](PreparedArticle &p) {
            names.append(p.outcome.name);
            if (p.article.size() > (1 << 21))
                workingBeforeLarge = working;
        },
        [&] { ++working; });
    const auto article = [](const QByteArray &name, qsizetype size) {
        YencPost post;
        post.data = randomBytes(std::size_t(size), quint32(size));
        QByteArray a = yencArticle(post);
        a.replace("name=pic.jpg", "name=" + name);
        return "222 1 <a@b>\r\n" + a.mid(a.indexOf("\r\n\r\n") + 4) + ".\r\n";
    };
    worker.submit(article("a.jpg", 3 << 20), false);
    for (const char *name : {"b.jpg", "c.jpg", "d.jpg"})
        worker.submit(article(name, 1000), false);
    ASSERT_TRUE(waitUntil([&] { return names.size() == 4; }));
    EXPECT_EQ(names, (QByteArrayList{"a.jpg", "b.jpg", "c.jpg", "d.jpg"}));
    EXPECT_GE(workingBeforeLarge, 1);

    for (const char *name : {"e.jpg", "f.jpg"})
        worker.submit(article(name, 1000), false);
    worker.discardAll();
    worker.submit(article("g.jpg", 1000), false);
    ASSERT_TRUE(waitUntil([&] { return names.size() >= 5; }));
    EXPECT_EQ(names.mid(4), QByteArrayList{"g.jpg"});
}
