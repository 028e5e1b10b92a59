// Decoding on the worker thread and filing afterwards gives what decoding in place
// gives; the worker hands its articles back in order.
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

Filed fileOnce(const QByteArray &article, bool prepared, bool diskFull)
{
    PipelineWorld w;
    w.ctx.settings.setChecked(u"chkSaveDecodes", true);
    std::optional<PreparedArticle> p;
    if (prepared)
        p = prepareArticle(article, true);
    Filed f;
    {
        std::optional<FileSizeLimit> full;
        if (diskFull)
            full.emplace(4096);
        f.result =
            w.pipeline.decodeArticle(article, "alt", "pic.jpg", {}, HeaderLines::Present, p ? &*p : nullptr);
    }
    for (const QString &line : std::as_const(w.logged))
        f.log << QString(line).replace(w.dl, QStringLiteral("<dl>"));
    for (const QString &file : w.files())
        f.files << file + QLatin1Char(' ') + QString::fromLatin1(w.read(file).toHex());
    return f;
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
        const QByteArray article = articleReply(c.body);
        const Filed here = fileOnce(article, false, c.diskFull);
        const Filed there = fileOnce(article, true, c.diskFull);
        EXPECT_EQ(here.result, c.expected);
        EXPECT_EQ(there.result, here.result);
        EXPECT_EQ(there.log, here.log) << here.log.join('\n').toStdString();
        EXPECT_EQ(there.files, here.files);
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
