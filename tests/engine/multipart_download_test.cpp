// Pictures posted in several articles, fetched from a news server in this process that
// serves articles from a folder, assembled and filed by the whole engine.
#include "circle/circle.h"
#include "decode/picture_assembly.h"
#include "engine/engine.h"
#include "newsd/folder_store.h"
#include "newsd/multipart_posts.h"
#include "newsd/news_server.h"
#include "newsd/sample_jpeg.h"
#include "scan/noredl_list.h"
#include "scan/pending_list_model.h"
#include "support/file_size_limit.h"
#include "support/temp_program_folder.h"
#include "support/wait.h"

#include <QDir>
#include <QDirIterator>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>

using namespace kestrel;
using namespace kestrel::newsd;

namespace {

const QByteArray kGroup = "alt.binaries.pictures.parts";

// One picture as it was posted: its bytes and the entry the filter queues for it.
struct Posted {
    QByteArray data;
    PendingEntry entry;
    QList<qint64> numbers; // the article number of each part, in part order
};

struct PartsWorld {
    test::TempProgramFolder dir;
    QString articles = dir.file(QStringLiteral("articles"));
    QString pics = dir.file(QStringLiteral("pics/"));
    std::unique_ptr<NewsServer> server;
    Engine engine{dir.path()};
    Context &ctx = engine.context();
    QStringList logged;
    std::vector<bool> stops;
    qint64 nextNumber = 10;
    // Runs inside the log call of each line, so a test can act at a chosen moment.
    std::function<void(const QString &)> onLog;
    std::optional<test::FileSizeLimit> limit;

    PartsWorld()
    {
        QDir().mkpath(articles);
        QDir().mkpath(pics);
        ctx.settings.setText(u"txtHost", QStringLiteral("127.0.0.1"));
        ctx.settings.setText(u"lblDownloadPath", pics);
        ctx.settings.setChecked(u"chkReScan", false);
        ctx.settings.setChecked(u"chkAllowRestart", false);
        ctx.settings.setChecked(u"chkMultiPart", true);
        QObject::connect(&ctx.log, &OperationsLog::logged, [this](const QString &, const QString &m) {
            logged << m;
            if (onLog)
                onLog(m);
        });
        QObject::connect(&engine.circle(), &Circle::wouldWait,
                         [this](bool error) { stops.push_back(error); });
    }

    ~PartsWorld()
    {
        if (::testing::Test::HasFailure())
            std::fprintf(stderr, "%s\n", qPrintable(logged.join(u'\n')));
    }

    // Posts `data` under `name` in `total` parts. The parts take the next article
    // numbers in the order `storeOrder` gives (part numbers from 1; empty: in order).
    Posted post(const QByteArray &name, const QByteArray &data, int total, PartEncoding encoding,
                QList<int> storeOrder = {})
    {
        const QList<PartPost> parts = multiPartPosts(data, name, total, encoding);
        EXPECT_EQ(parts.size(), total);
        if (storeOrder.isEmpty())
            for (int k = 1; k <= total; ++k)
                storeOrder << k;
        Posted p{data, {}, QList<qint64>(total)};
        for (const int k : storeOrder) {
            p.numbers[k - 1] = nextNumber++;
            EXPECT_TRUE(
                FolderStore::writeArticle(articles, kGroup, p.numbers[k - 1],
                                          multiPartArticle(parts[k - 1], kGroup, "poster@example.invalid")));
        }
        PendingEntry &e = p.entry;
        e.text = name;
        e.tag = ListNumber(p.numbers[storeOrder.first() - 1]);
        e.sub.subject = parts.first().subject;
        e.sub.newsgroup = kGroup;
        e.sub.email = "poster@example.invalid";
        e.parts.total = qint16(total);
        e.parts.firstSeen = ctx.clock.now();
        e.parts.key = kGroup + '\n' + name + '\n' + "poster@example.invalid";
        qint64 lines = 0;
        for (const PartPost &part : parts) {
            e.parts.seen.append(
                {qint16(part.number), ListNumber(p.numbers[part.number - 1]), qint32(part.lines)});
            lines += part.lines;
        }
        e.sub.lines = ListNumber(lines);
        return p;
    }

    // A single-part picture in one article.
    Posted postSingle(const QByteArray &name, const QByteArray &data)
    {
        Posted p = post(name, data, 1, PartEncoding::Yenc);
        p.entry.parts = {};
        return p;
    }

    // Queues the entries in this order after what is queued already.
    void queue(const QList<Posted> &posted)
    {
        PendingListModel &pending = engine.pending();
        QList<PendingEntry> keep;
        while (pending.count() > 0)
            keep.append(pending.takeAt(0));
        for (const Posted &p : posted)
            keep.append(p.entry);
        for (auto it = keep.rbegin(); it != keep.rend(); ++it) {
            ctx.state.currentArticle = *it;
            pending.requeueArticle();
        }
    }

    void startServer()
    {
        server = std::make_unique<NewsServer>(std::make_shared<FolderStore>(articles));
        ASSERT_TRUE(server->listen());
        ctx.settings.setText(u"txtPort", QString::number(server->port()));
    }

    // One download run to its end; whether it ended on an error.
    std::optional<bool> run()
    {
        const size_t before = stops.size();
        engine.circle().downloadNext();
        if (!test::waitUntil([&] { return stops.size() > before; }, 20000))
            return std::nullopt;
        return stops.back();
    }

    // Where a picture of the group is filed (chkMakeSubDirs is on by default).
    QString sub() const { return QStringLiteral("pics/") + QString::fromLatin1(kGroup) + u'/'; }
    QByteArray filed(const QByteArray &name) const { return dir.read(sub() + QString::fromLatin1(name)); }
    bool exists(const QByteArray &name) const
    {
        return QFileInfo::exists(dir.file(sub() + QString::fromLatin1(name)));
    }
    qsizetype count(const QString &text) const
    {
        return std::count_if(logged.begin(), logged.end(),
                             [&](const QString &l) { return l.contains(text); });
    }
    QStringList workFiles() const
    {
        return QDir(PictureAssembly::workFolder(pics)).entryList(QDir::Files | QDir::Hidden);
    }
    QByteArrayList bodies() const
    {
        QByteArrayList out;
        for (const auto &e : server->transcript())
            if (e.line.startsWith("BODY") || e.line.startsWith("ARTICLE"))
                out << e.line.split(' ').last();
        return out;
    }
};

QByteArray picture(qsizetype size, quint32 seed)
{
    return makeSampleJpeg(64, 48, size, seed);
}

QByteArrayList numbersOf(const Posted &p)
{
    QByteArrayList out;
    for (const qint64 n : p.numbers)
        out << QByteArray::number(n);
    return out;
}

} // namespace

// Every part is asked for in part order, wherever the server keeps it, the picture is
// filed once, byte for byte, with one line per part, and the run goes on with the next
// entry; nothing is left in the work folder.
TEST(MultiPartDownload, PicturesAreFiledByteExact)
{
    const struct {
        const char *name;
        PartEncoding encoding;
        int total;
        QList<int> storeOrder;
        int window;
        bool headers; // ARTICLE instead of BODY
    } cases[] = {
        {"yEnc, one request at a time", PartEncoding::Yenc, 5, {3, 1, 5, 2, 4}, 1, false},
        {"yEnc, window of 8", PartEncoding::Yenc, 6, {6, 5, 4, 3, 2, 1}, 8, false},
        {"yEnc, more parts than the window", PartEncoding::Yenc, 7, {2, 1, 4, 3, 6, 5, 7}, 3, true},
        {"uuencode in 3 parts", PartEncoding::Uuencode, 3, {2, 3, 1}, 2, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        PartsWorld w;
        w.ctx.settings.setNumber(u"sldPipeline", c.window);
        w.ctx.settings.setChecked(u"chkSaveHeaders", c.headers);
        const Posted big = w.post("big.jpg", picture(300000, 7), c.total, c.encoding, c.storeOrder);
        const Posted after = w.postSingle("after.jpg", picture(5000, 8));
        w.startServer();
        w.queue({big, after});
        ASSERT_EQ(w.run(), false);

        EXPECT_EQ(w.bodies(), numbersOf(big) + numbersOf(after));
        EXPECT_EQ(w.filed("big.jpg"), big.data);
        EXPECT_EQ(w.filed("after.jpg"), after.data);
        EXPECT_EQ(w.count(QStringLiteral("Decode Successful: big.jpg")), 1);
        for (int k = 1; k <= c.total; ++k)
            EXPECT_EQ(w.count(QStringLiteral("Part %1/%2 of big.jpg received: ").arg(k).arg(c.total)), 1)
                << k;
        EXPECT_TRUE(w.engine.noRedl().contains("big.jpg"));
        EXPECT_EQ(w.engine.pipeline().decodedCount(), 2);
        EXPECT_EQ(w.engine.pending().count(), 0);
        EXPECT_FALSE(QFileInfo::exists(PictureAssembly::workFolder(w.pics)));
        EXPECT_EQ(QFileInfo::exists(w.dir.file(w.sub() + QStringLiteral("big.TXT"))), c.headers);
    }
}

// Two posters' pictures of one name are two pictures: the later one is filed beside the
// first under a numbered name, never over it.
TEST(MultiPartDownload, PictureOfATakenNameIsFiledBesideIt)
{
    PartsWorld w;
    const Posted first = w.post("same.jpg", picture(40000, 21), 3, PartEncoding::Yenc);
    const Posted second = w.post("same.jpg", picture(50000, 22), 2, PartEncoding::Yenc);
    w.startServer();
    w.queue({first, second});
    ASSERT_EQ(w.run(), false);

    EXPECT_EQ(w.filed("same.jpg"), first.data);
    EXPECT_EQ(w.filed("same_2.jpg"), second.data);
    EXPECT_EQ(w.count(QStringLiteral("same.jpg exists; filed as same_2.jpg")), 1);
    EXPECT_EQ(w.engine.pipeline().decodedCount(), 2);
}

// A part the server no longer has, or whose data does not match its pcrc32, drops its
// picture only: nothing of it is filed or kept, its name stays off the no-re-download
// list (a repost may be whole), and the next picture is filed.
TEST(MultiPartDownload, BadPartDropsOnlyItsPicture)
{
    const struct {
        const char *name;
        std::function<void(PartsWorld &, const Posted &)> spoil;
        const char *line;
    } cases[] = {
        {"part answered 430",
         [](PartsWorld &w, const Posted &p) {
             w.server->faults().forcedReplies.append({"BODY " + QByteArray::number(p.numbers[2]), 430});
         },
         "Part 3/5 of bad.jpg not available: 430"},
        {"part with a damaged byte",
         [](PartsWorld &w, const Posted &p) {
             const QString file =
                 "articles/" + QString::fromLatin1(kGroup) + u'/' + QString::number(p.numbers[1]);
             QByteArray text = w.dir.read(file);
             const qsizetype data = text.indexOf('\n', text.indexOf("=ypart")) + 100;
             text[data] = text[data] == 'a' ? 'b' : 'a';
             w.dir.write(file, text);
         },
         "Part 2/5 of bad.jpg failed to decode"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        PartsWorld w;
        w.ctx.settings.setNumber(u"sldPipeline", 8);
        const Posted bad = w.post("bad.jpg", picture(200000, 3), 5, PartEncoding::Yenc);
        const Posted good = w.post("good.jpg", picture(100000, 4), 3, PartEncoding::Yenc);
        w.startServer();
        c.spoil(w, bad);
        w.queue({bad, good});
        ASSERT_EQ(w.run(), false);

        EXPECT_EQ(w.count(QString::fromLatin1(c.line)), 1);
        EXPECT_EQ(w.count(QStringLiteral("picture dropped.")), 1);
        EXPECT_FALSE(w.exists("bad.jpg"));
        EXPECT_EQ(w.filed("good.jpg"), good.data);
        EXPECT_FALSE(w.engine.noRedl().contains("bad.jpg"));
        EXPECT_EQ(w.engine.noRedl().nameCount(), 1u);
        EXPECT_EQ(w.engine.pending().count(), 0);
        EXPECT_EQ(w.workFiles(), QStringList());
    }
}

// Whatever keeps a picture from being finished (a lost connection, a disk that refuses
// a part, no download folder) puts it back on the list once and whole, with nothing
// of it filed, recorded or left in the work folder; a later run files it once.
TEST(MultiPartDownload, UnfinishedPictureGoesBackWholeOnce)
{
    const struct {
        const char *name;
        int window;
        std::function<void(PartsWorld &)> spoil; // before the run; mended after it
        bool error;                              // the run ends on an error
    } cases[] = {
        {"connection lost after part 2", 1,
         [](PartsWorld &w) {
             w.onLog = [&w](const QString &line) {
                 if (line.startsWith(QStringLiteral("Part 2/4 of big.jpg received")))
                     w.server->dropConnections();
             };
         },
         true},
        // With a window of 8 the later parts are in the filing queue by then, or on
        // their way; the stop comes from the event loop, as the button's would, before
        // the last parts' turns.
        {"user abort while part 1 is filed", 8,
         [](PartsWorld &w) {
             w.onLog = [&w](const QString &line) {
                 if (line.startsWith(QStringLiteral("Part 1/4 of big.jpg received")))
                     QTimer::singleShot(0, &w.engine.circle(), [&w] { w.engine.circle().abortDownload(); });
             };
         },
         false},
        {"disk refuses part 2", 8, [](PartsWorld &w) { w.limit.emplace(60000); }, true},
        {"no download folder", 8, [](PartsWorld &w) { QDir(w.pics).removeRecursively(); }, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        PartsWorld w;
        w.ctx.settings.setNumber(u"sldPipeline", c.window);
        const Posted big = w.post("big.jpg", picture(200000, 5), 4, PartEncoding::Yenc, {4, 3, 2, 1});
        const Posted next = w.postSingle("next.jpg", picture(5000, 6));
        w.startServer();
        w.queue({big, next});
        c.spoil(w);
        const std::optional<bool> error = w.run();
        w.onLog = nullptr;
        w.limit.reset();
        QDir().mkpath(w.pics);
        ASSERT_TRUE(error.has_value());
        EXPECT_EQ(*error, c.error);
        ASSERT_TRUE(test::waitUntil([&] { return w.ctx.state.downloadState == DownloadState::Idle; }));
        EXPECT_FALSE(w.exists("big.jpg"));
        EXPECT_EQ(w.workFiles(), QStringList());
        EXPECT_FALSE(w.engine.noRedl().contains("big.jpg"));
        ASSERT_EQ(w.engine.pending().count(), 2);
        EXPECT_EQ(w.engine.pending().entry(0), big.entry);

        ASSERT_EQ(w.run(), false);
        EXPECT_EQ(w.filed("big.jpg"), big.data);
        EXPECT_EQ(w.filed("next.jpg"), next.data);
        EXPECT_EQ(w.count(QStringLiteral("Decode Successful: big.jpg")), 1);
        EXPECT_EQ(w.engine.pending().count(), 0);
        EXPECT_EQ(w.workFiles(), QStringList());
    }
}
