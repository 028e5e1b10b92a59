// Pictures posted in several articles on the download connection: one request per
// part, in part order, within the window; a picture given up whole.
#include "circle/circle_fixture.h"

#include "base/number_text.h"

#include <algorithm>

namespace kestrel::test {
namespace {

const QList<qint64> kPartTags{7, 3, 9, 4, 8, 5, 6}; // the article of each part, in part order

PendingEntry pictureEntry(const QByteArray &group, const QByteArray &name, const QList<qint64> &tags)
{
    PendingEntry e;
    e.text = name;
    e.tag = ListNumber(tags.first());
    e.sub.newsgroup = group;
    e.sub.lines = ListNumber(100 * tags.size());
    e.parts.total = qint16(tags.size());
    for (int k = 0; k < tags.size(); ++k)
        e.parts.seen.append({qint16(k + 1), ListNumber(tags[k]), 100});
    e.parts.key = group + '\n' + name + '\n' + "a@b.c";
    return e;
}

// pic.jpg in seven parts (kPartTags) first, p10.jpg behind it; the picture.
PendingEntry queuePicture(CircleWorld &w, int window)
{
    w.ctx.settings.setNumber(u"sldPipeline", window);
    w.addPending("a.one", 10, "p10.jpg");
    const PendingEntry picture = pictureEntry("a.one", "pic.jpg", kPartTags);
    w.ctx.state.currentArticle = picture;
    w.pending.requeueArticle();
    return picture;
}

QByteArrayList bodies(const QList<qint64> &tags)
{
    QByteArrayList out;
    for (const qint64 t : tags)
        out << "BODY " + numBytes(t);
    return out;
}

// The picture was given up whole after the parts `asked`, p10.jpg fetched behind it.
void expectGivenUp(CircleWorld &w, const QList<qint64> &asked, const QString &refusal)
{
    ASSERT_TRUE(w.quitSent());
    EXPECT_EQ(w.commands(1),
              QByteArrayList{"GROUP a.one"} + bodies(asked) + bodies({10}) + QByteArrayList{"QUIT"});
    EXPECT_EQ(w.sink.abandoned, QByteArrayList{"pic.jpg"});
    EXPECT_EQ(w.logged(QStringLiteral(" of pic.jpg not available: 430")), !refusal.isEmpty());
    EXPECT_TRUE(refusal.isEmpty() || w.logged(refusal));
    EXPECT_EQ(w.pending.count(), 0);
    EXPECT_FALSE(w.ctx.state.articleInHand);
}

// The parts go out in part order over one connection, never more than the window at
// once, and a picture with more parts than the window keeps it full; each part reaches
// the sink with its number and the picture. Another group waits for the last part.
TEST(DownloadParts, PartsAreAskedInPartOrderWithinTheWindow)
{
    for (const int window : {1, 3, 8}) {
        SCOPED_TRACE(window);
        CircleWorld w({{"a.one", 1, 12, 0}, {"a.two", 1, 5, 0}});
        queuePicture(w, window);
        w.addPending("a.two", 2, "q2.jpg");
        QList<qsizetype> inFlight;
        w.sink.onArticle = [&](const CapturedArticle &) {
            inFlight << w.circle.connections().download().reader().expectedCount();
        };
        ASSERT_TRUE(w.downloadRun(10000));
        EXPECT_FALSE(w.waits.back());
        ASSERT_TRUE(w.quitSent());
        const QByteArrayList expected = QByteArrayList{"GROUP a.one"} + bodies(kPartTags) + bodies({10}) +
                                        QByteArrayList{"GROUP a.two", "BODY  2", "QUIT"};
        EXPECT_EQ(w.commands(1), expected);
        ASSERT_EQ(w.sink.articles.size(), 9u);
        for (int k = 0; k < 7; ++k) {
            const CapturedArticle &a = w.sink.articles[size_t(k)];
            EXPECT_EQ(a.partNumber, k + 1);
            EXPECT_EQ(a.partTotal, 7);
            EXPECT_EQ(a.entry.text, "pic.jpg");
            EXPECT_EQ(a.fileName, "pic.jpg");
            EXPECT_TRUE(a.articleBuffer.startsWith("222 " + QByteArray::number(kPartTags[k]) + " <"));
        }
        EXPECT_EQ(w.sink.articles[7].partTotal, 0);
        EXPECT_EQ(*std::max_element(inFlight.begin(), inFlight.end()), std::min(window, 7));
        EXPECT_TRUE(w.sink.abandoned.isEmpty());
        EXPECT_EQ(w.pending.count(), 0);
    }
}

// A part the server lacks, or one the sink will not have, ends the picture: the parts
// on their way are read and thrown away, the rest are never asked for, the sink lets
// go of the picture, and the run goes on with the next entry.
TEST(DownloadParts, OneBadPartDropsThePicture)
{
    const QString lacks2 = QStringLiteral("Part 2/7 of pic.jpg not available: 430");
    const struct {
        const char *what;
        int window;
        bool serverLacksPart2;
        QList<qint64> asked; // the parts asked for
        int handedParts;     // parts that reached the sink
    } cases[] = {
        {"server lacks part 2, window of 8", 8, true, kPartTags, 1},
        {"server lacks part 2, window of 2", 2, true, kPartTags.first(3), 1},
        {"sink drops it at part 2, window of 8", 8, false, kPartTags, 2},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        CircleWorld w({{"a.one", 1, 12, 0}});
        queuePicture(w, c.window);
        if (c.serverLacksPart2)
            w.server.faults().forcedReplies.append({"BODY " + QByteArray::number(kPartTags[1]), 430});
        else
            w.sink.answer = [](const CapturedArticle &a) {
                return a.partNumber == 2 ? SinkResult::PictureDropped : SinkResult::Done;
            };
        ASSERT_TRUE(w.downloadRun(10000));
        EXPECT_FALSE(w.waits.back());
        expectGivenUp(w, c.asked, c.serverLacksPart2 ? lacks2 : QString());
        ASSERT_EQ(w.sink.articles.size(), size_t(c.handedParts + 1));
        EXPECT_EQ(w.sink.articles.back().fileName, "p10.jpg");
    }
}

// The sink files later: a drop may come while parts of the picture wait in it, behind
// or ahead of the part that drops it. Those are forgotten (their reports drop nothing
// more and the run does not end on them), the parts not yet asked never are, the
// picture is let go of once, and the single article behind it is filed.
TEST(DownloadParts, PictureDroppedWhilePartsWaitInTheSink)
{
    const struct {
        const char *what;
        size_t room;
        std::function<void(CircleWorld &)> drop; // once the sink holds what it will
        size_t takenAfter;                       // in the sink once the drop is over
        QList<qint64> asked;
        bool refusedLine;
    } cases[] = {
        {"part 1 fails when filed, part 2 waits behind it", 2,
         [](CircleWorld &w) {
             ASSERT_TRUE(waitUntil([&] { return w.sink.taken.size() == 2; }, 3000));
             ASSERT_TRUE(
                 waitUntil([&] { return w.circle.connections().download().reader().buffered() > 0; }, 3000));
             w.sink.report(SinkResult::PictureDropped);
         },
         2, kPartTags.first(5), false},
        {"server lacks part 3 while parts 1 and 2 wait", 1000,
         [](CircleWorld &w) { ASSERT_TRUE(waitUntil([&] { return w.sink.taken.size() == 3; }, 3000)); }, 3,
         kPartTags, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        CircleWorld w({{"a.one", 1, 12, 0}});
        queuePicture(w, c.refusedLine ? 8 : 3);
        w.sink.later = true;
        w.sink.room = c.room;
        if (c.refusedLine)
            w.server.faults().forcedReplies.append({"BODY " + QByteArray::number(kPartTags[2]), 430});
        w.circle.downloadNext();
        c.drop(w);
        ASSERT_TRUE(
            waitUntil([&] { return !w.sink.taken.empty() && w.sink.taken.back() == "p10.jpg"; }, 3000));
        ASSERT_EQ(w.sink.taken.size(), c.takenAfter);
        // As the filing queue reports the parts it skips.
        while (w.sink.taken.size() > 1) {
            w.sink.report(SinkResult::PictureDropped);
            EXPECT_TRUE(w.waits.empty());
        }
        w.sink.report(SinkResult::Done);
        ASSERT_EQ(w.waits.size(), 1u);
        EXPECT_FALSE(w.waits.back());
        expectGivenUp(w, c.asked,
                      c.refusedLine ? QStringLiteral("Part 3/7 of pic.jpg not available: 430") : QString());
    }
}

// A run that ends while parts wait in the sink puts the picture back once, whole, in
// its place in the list; the sink gives them up and lets go of the picture.
TEST(DownloadParts, RunEndingWithPartsInTheSinkPutsThePictureBackWhole)
{
    const struct {
        const char *what;
        std::function<void(CircleWorld &)> stop;
    } cases[] = {
        {"user abort", [](CircleWorld &w) { w.circle.abortDownload(); }},
        {"server drops the connection", [](CircleWorld &w) { w.server.dropConnections(); }},
        {"part 2 not stored",
         [](CircleWorld &w) {
             w.sink.report(SinkResult::Done);
             w.sink.report(SinkResult::NotStored);
         }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        CircleWorld w({{"a.one", 1, 12, 0}});
        const PendingEntry picture = queuePicture(w, 3);
        w.sink.later = true;
        w.sink.room = 3;
        w.circle.downloadNext();
        ASSERT_TRUE(waitUntil([&] { return w.sink.taken.size() == 3; }, 3000));
        c.stop(w);
        ASSERT_TRUE(waitUntil([&] { return !w.waits.empty(); }, 5000));
        ASSERT_EQ(w.pending.count(), 2);
        EXPECT_EQ(w.pending.entry(0), picture);
        EXPECT_EQ(w.pending.entry(1).text, "p10.jpg");
        EXPECT_GE(w.sink.drops, 1);
        EXPECT_EQ(w.sink.abandoned, QByteArrayList{"pic.jpg"});
        EXPECT_FALSE(w.ctx.state.articleInHand);
    }
}

// Each emergency in the middle of a picture counts against the picture, whichever part
// was on its way: it goes back whole twice and is dropped at the third.
TEST(DownloadParts, FailedAttemptsCountPerPicture)
{
    CircleWorld w({{"a.one", 1, 12, 0}});
    w.ctx.settings.setChecked(u"chkAllowRestart", true);
    const PendingEntry picture = queuePicture(w, 1);
    for (const int part : {2, 5, 1}) {
        SCOPED_TRACE(part);
        w.server.faults().forcedReplies.append({"BODY " + QByteArray::number(kPartTags[part - 1]), 400, 1});
        w.circle.downloadNext();
        ASSERT_TRUE(waitUntil([&] { return w.ctx.state.rescanArmed; }));
        ASSERT_TRUE(waitUntil([&] { return w.ctx.state.downloadState == DownloadState::Idle; }));
        w.circle.countdown().stop();
        w.ctx.state.rescanArmed = false;
        if (part != 1) {
            ASSERT_EQ(w.pending.count(), 2);
            EXPECT_EQ(w.pending.entry(0), picture);
        }
    }
    EXPECT_EQ(w.texts(), QByteArrayList{"p10.jpg"});
    EXPECT_TRUE(w.logged(QStringLiteral("Dropped after 3 failed attempts: pic.jpg")));
    EXPECT_EQ(w.sink.abandoned.count("pic.jpg"), 3);
}

} // namespace
} // namespace kestrel::test
