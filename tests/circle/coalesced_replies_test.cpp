#include "circle/circle_fixture.h"

namespace kestrel::test {
namespace {

const QByteArray kGroup = "alt.binaries.pictures.test";

// What a scan followed by its download run leaves behind.
struct CircleOutcome {
    QByteArrayList scanCommands;
    QByteArrayList downloadCommands;
    qint32 headers = 0;
    QByteArray lastRead;
    QByteArrayList fetchedNames;
    QByteArrayList fetchedTexts;
    bool finished = false;
    bool error = true;
};

CircleOutcome scanAndDownload(bool xover, int repliesPerSegment)
{
    CircleWorld w({{kGroup, 1, 24, 7}});
    w.server.faults().repliesPerSegment = repliesPerSegment;
    w.server.faults().coalesceWaitMs = 5;
    w.ctx.settings.setChecked(u"chkXOVER", xover);
    w.ctx.settings.setNumber(u"sldXOVER", 10);
    w.ctx.settings.setChecked(u"chkAutodownload", true);
    CircleOutcome out;
    w.circle.connectScan();
    out.finished =
        w.runUntilWait(15000) &&
        waitUntil([&] { return w.commands(2).endsWith("QUIT") && w.server.openConnections() <= 1; }, 3000);
    if (!w.waits.empty())
        out.error = w.waits.back();
    out.scanCommands = w.commands(1);
    out.downloadCommands = w.commands(2);
    out.headers = w.counters.scanHeaderCount;
    out.lastRead = w.favs.getLastRead(kGroup);
    for (const CapturedArticle &a : w.sink.articles) {
        out.fetchedNames.append(a.fileName);
        out.fetchedTexts.append(a.articleBuffer);
    }
    return out;
}

// The server holds its replies back and writes them three to a segment (the sessions
// wait for each answer, so a held reply goes out with the next or when the wait runs
// out). The download connection must fetch the same article texts, after the same
// conversation, as when every reply has a segment of its own.
TEST(CoalescedReplies, DownloadGivesTheSameResultAsUncoalesced)
{
    const CircleOutcome plain = scanAndDownload(true, 1);
    ASSERT_TRUE(plain.finished);
    ASSERT_FALSE(plain.error);
    // The group of 24 has 3 gaps; its picture posts are fetched.
    EXPECT_EQ(plain.headers, 21);
    ASSERT_GE(plain.fetchedTexts.size(), 8);
    for (const QByteArray &text : plain.fetchedTexts)
        EXPECT_TRUE(text.endsWith("\r\n.\r\n"));
    const CircleOutcome coalesced = scanAndDownload(true, 3);
    ASSERT_TRUE(coalesced.finished);
    EXPECT_FALSE(coalesced.error);
    EXPECT_EQ(coalesced.scanCommands, plain.scanCommands);
    EXPECT_EQ(coalesced.downloadCommands, plain.downloadCommands);
    EXPECT_EQ(coalesced.headers, plain.headers);
    EXPECT_EQ(coalesced.lastRead, plain.lastRead);
    EXPECT_EQ(coalesced.fetchedNames, plain.fetchedNames);
    EXPECT_TRUE(coalesced.fetchedTexts == plain.fetchedTexts);
}

} // namespace
} // namespace kestrel::test
