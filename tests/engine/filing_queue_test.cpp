// The filing queue with the real decode worker and pipeline: articles are filed in the
// order handed over, and those given up are never filed.
#include "decode/pipeline_test_support.h"

#include "engine/filing_queue.h"
#include "engine/pipeline_sink.h"
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
// rest, as the session puts them back on the list.
struct Session : ArticleSink::Listener {
    FilingQueue *queue = nullptr;
    std::vector<SinkResult> results;
    void articleFiled(SinkResult result) override
    {
        results.push_back(result);
        if (result != SinkResult::Done)
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
