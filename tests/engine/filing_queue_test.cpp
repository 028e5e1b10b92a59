// The filing queue with the real decode worker and pipeline: articles are filed in the
// order handed over, and those given up are never filed.
#include "decode/pipeline_test_support.h"

#include "engine/filing_queue.h"
#include "engine/pipeline_sink.h"
#include "newsd/multipart_posts.h"
#include "scan/blacklist.h"
#include "scan/pending_list_model.h"
#include "support/file_size_limit.h"
#include "support/wait.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

#include <optional>

using namespace kestrel;
using namespace kestrel::test;

namespace {

// Hears the results as the download session does: on a refused write it gives up the
// rest, as the session puts them back on the list, and a dropped picture is let go of.
// giveUpAfter stands for a run that ends once that many results are in.
struct Session : ArticleSink::Listener {
    FilingQueue *queue = nullptr;
    std::vector<SinkResult> results;
    PendingEntry picture;
    size_t giveUpAfter = 0;
    void articleFiled(SinkResult result) override
    {
        results.push_back(result);
        if (result == SinkResult::PictureDropped)
            queue->pictureAbandoned(picture);
        else if (result != SinkResult::Done || results.size() == giveUpAfter)
            queue->dropTaken();
    }
    void sinkWorking() override {}
};

struct QueueWorld : PipelineWorld {
    Blacklist blacklist{ctx};
    PendingListModel pending{ctx, noRedl, blacklist};
    PipelineSink filer{pipeline, pending};
    Session session;
    std::optional<FilingQueue> queue{std::in_place, filer};

    QueueWorld()
    {
        session.queue = &*queue;
        queue->setListener(&session);
    }
    void handOver(const QByteArray &name)
    {
        CapturedArticle a;
        QByteArray body = yencBody(jpegPicture() + QByteArray(8000, 'p'));
        body.replace("name=pic.jpg", "name=" + name);
        a.articleBuffer = "222 1 <a@b>\r\n" + body + ".\r\n";
        a.fileName = name;
        a.group = "alt";
        a.entry.text = name;
        EXPECT_EQ(queue->articleRetrieved(a), SinkResult::Taken);
    }
    // The parts of `data` as big.jpg, part `damaged` (from 1) with one data byte changed.
    void handOverParts(const QByteArray &data, int total, int damaged = 0)
    {
        session.picture.text = "big.jpg";
        session.picture.sub.newsgroup = "alt";
        session.picture.tag = ListNumber(100);
        session.picture.parts.total = qint16(total);
        for (const newsd::PartPost &part :
             newsd::multiPartPosts(data, "big.jpg", total, newsd::PartEncoding::Yenc)) {
            QByteArray body = part.body;
            if (part.number == damaged) {
                const qsizetype at = body.indexOf('\n', body.indexOf("=ypart")) + 100;
                body[at] = body[at] == 'a' ? 'b' : 'a';
            }
            CapturedArticle a;
            a.articleBuffer = "222 " + QByteArray::number(99 + part.number) + " <p@b>\r\n" +
                              body.replace("\r\n.", "\r\n..") + ".\r\n";
            a.fileName = "big.jpg";
            a.group = "alt";
            a.entry = session.picture;
            a.partNumber = part.number;
            a.partTotal = total;
            EXPECT_EQ(queue->articleRetrieved(a), SinkResult::Taken);
        }
    }
};

const QByteArrayList kNames{"a.jpg", "b.jpg", "c.jpg", "d.jpg"};

} // namespace

TEST(FilingQueue, FilesInOrderAndNeverWhatWasGivenUp)
{
    const struct {
        const char *what;
        bool diskFull;
        bool giveUpAtOnce;
        std::vector<SinkResult> results;
        QStringList files;
    } cases[] = {
        {"room on the disk",
         false,
         false,
         std::vector<SinkResult>(4, SinkResult::Done),
         {"a.jpg", "b.jpg", "c.jpg", "d.jpg"}},
        {"disk full", true, false, {SinkResult::NotStored}, {}},
        {"given up before the worker was done (shutdown, abort)", false, true, {}, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        QueueWorld w;
        w.ctx.settings.setChecked(u"chkMakeSubDirs", false);
        std::optional<FileSizeLimit> full;
        if (c.diskFull)
            full.emplace(4096);
        for (const QByteArray &name : kNames)
            w.handOver(name);
        EXPECT_EQ(w.queue->taken(), 4);
        if (c.giveUpAtOnce)
            w.queue->dropTaken();
        EXPECT_TRUE(waitUntil([&] { return w.queue->taken() == 0; }));
        // Whatever is still on its way back from the worker is not reported after this.
        w.queue.reset();
        full.reset();
        EXPECT_EQ(w.session.results, c.results);
        EXPECT_EQ(w.files(), c.files);
        QStringList retrieved = w.logged.filter(QStringLiteral("Article Retrieved: "));
        EXPECT_EQ(retrieved.size(), qsizetype(c.results.size())) << w.logged.join('\n').toStdString();
        for (qsizetype i = 0; i < retrieved.size(); ++i)
            EXPECT_TRUE(retrieved[i].startsWith(QStringLiteral("Article Retrieved: ") + kNames[i]));
        // Each article's lines stay together: its retrieval, then its decoder's words.
        const qsizetype second =
            w.logged.indexOf(QRegularExpression(QStringLiteral("^Article Retrieved: b")));
        EXPECT_TRUE(second < 0 ||
                    w.logged.mid(0, second).join('\n').contains(QStringLiteral("/a.jpg) part")));
        EXPECT_EQ(w.pipeline.decodedCount(), c.files.size());
    }
}

// Parts take their turn among the single articles. A picture dropped at one part has
// its later parts, taken already, neither filed nor logged as a second drop while the
// article behind them is filed; one given up with the rest of the run leaves no work
// file, and handed over again is filed whole.
TEST(FilingQueue, PartsTakeTheirTurnAndAPictureGivenUpLeavesNothing)
{
    using R = SinkResult;
    const QByteArray picture = jpegPicture(30000);
    const struct {
        const char *what;
        int damaged;
        size_t giveUpAfter;
        std::vector<SinkResult> results; // a.jpg, the parts, z.jpg
        QStringList files;
    } cases[] = {
        {"part 2 fails its check",
         2,
         0,
         {R::Done, R::Done, R::PictureDropped, R::PictureDropped, R::Done},
         {"a.jpg", "z.jpg"}},
        {"the run ends after part 1", 0, 2, {R::Done, R::Done}, {"a.jpg"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        QueueWorld w;
        w.ctx.settings.setChecked(u"chkMakeSubDirs", false);
        w.session.giveUpAfter = c.giveUpAfter;
        w.handOver("a.jpg");
        w.handOverParts(picture, 3, c.damaged);
        w.handOver("z.jpg");
        ASSERT_TRUE(waitUntil([&] { return w.queue->taken() == 0; }));
        EXPECT_EQ(w.session.results, c.results);
        EXPECT_EQ(w.files(), c.files);
        EXPECT_EQ(w.logged.filter(QStringLiteral("picture dropped")).size(), c.damaged > 0 ? 1 : 0);
        EXPECT_TRUE(w.logged.filter(QStringLiteral("Part 3/3 of big.jpg")).isEmpty());
        if (c.giveUpAfter == 0)
            continue;

        w.session.giveUpAfter = 0;
        w.handOverParts(picture, 3);
        ASSERT_TRUE(waitUntil([&] { return w.queue->taken() == 0; }));
        EXPECT_EQ(w.files(), QStringList({"a.jpg", "big.jpg"}));
        EXPECT_EQ(w.read(QStringLiteral("big.jpg")), picture);
    }
}
