#include "nntp_test_client.h"

#include "newsd/folder_store.h"
#include "newsd/news_server.h"
#include "support/temp_program_folder.h"
#include "support/wait.h"

#include <QElapsedTimer>
#include <QProcess>

#include <gtest/gtest.h>

using kestrel::newsd::FaultPlan;
using kestrel::newsd::FolderStore;
using kestrel::newsd::NewsServer;
using kestrel::test::NntpTestClient;
using kestrel::test::TempProgramFolder;
using kestrel::test::waitUntil;

namespace {

QByteArray article(int n, const QByteArray &extraBody = {})
{
    return "From: poster@example.com\nSubject: picture " + QByteArray::number(n) +
           " - \"p.jpg\" yEnc (1/1)\nMessage-ID: <" + QByteArray::number(n) +
           "@x>\nXref: h alt.test.one:" + QByteArray::number(n) + "\n\nline one\n" + extraBody + "last\n";
}

// alt.test.one holds 3, 4 and 7; article 4 has body lines that begin with dots.
class NewsServerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (int n : {3, 4, 7})
            FolderStore::writeArticle(dir.path(), "alt.test.one", n,
                                      article(n, n == 4 ? ".hidden\n..\n" : ""));
        FolderStore::writeArticle(dir.path(), "alt.test.two", 1, article(1));
        QDir(dir.path()).mkdir(QStringLiteral("alt.test.empty"));
        server = std::make_unique<NewsServer>(std::make_shared<FolderStore>(dir.path()));
        ASSERT_TRUE(server->listen());
    }

    std::unique_ptr<NntpTestClient> connectClient()
    {
        return std::make_unique<NntpTestClient>(server->port());
    }

    // A client past the greeting, with alt.test.one selected.
    std::unique_ptr<NntpTestClient> inGroupOne()
    {
        auto client = connectClient();
        EXPECT_TRUE(client->read());
        EXPECT_EQ(client->status("GROUP alt.test.one"), "211 3 3 7 alt.test.one");
        return client;
    }

    TempProgramFolder dir;
    std::unique_ptr<NewsServer> server;
};

} // namespace

TEST_F(NewsServerTest, EveryCommandAnswersWithItsCode)
{
    const struct {
        QByteArray command, status;
    } steps[] = {
        {"MODE READER", "200 Reader mode, posting permitted"},
        {"NEXT", "412 No newsgroup selected"},
        {"HEAD 3", "412 No newsgroup selected"},
        {"XOVER 1-5", "412 No newsgroup selected"},
        {"GROUP alt.nope", "411 No such newsgroup"},
        {"GROUP alt.test.empty", "211 0 1 0 alt.test.empty"},
        {"NEXT", "420 No current article"},
        {"GROUP alt.test.one", "211 3 3 7 alt.test.one"},
        {"NEXT", "223 4 <4@x> Article found"},
        {"NEXT", "223 7 <7@x> Article found"},
        {"NEXT", "421 No next article in this group"},
        {"HEAD 5", "423 No article with that number"},
        {"HEAD", "221 7 <7@x>"},
        {"ARTICLE  3", "220 3 <3@x>"},
        {"NEXT", "223 4 <4@x> Article found"}, // ARTICLE n moved the current article
        {"BODY 9", "423 No article with that number"},
        {"ARTICLE <3@x>", "430 No article with that message-id"},
        {"ARTICLE x", "501 Syntax error"},
        {"XOVER 5-6", "423 No articles in that range"},
        {"XOVER 8-", "423 No articles in that range"},
        {"xover 4-", "224 Overview information follows"},
        {"SLAVE", "202 Slave status noted"},
        {"LIST", "215 list of newsgroups follows"},
        {"LIST FOO", "501 Syntax error"},
        {"FROB", "500 Unknown command"},
        {"QUIT", "205 Bye"},
    };
    auto client = connectClient();
    ASSERT_TRUE(client->read());
    for (const auto &s : steps)
        EXPECT_EQ(client->status(s.command), s.status) << s.command.constData();
    EXPECT_TRUE(client->waitForClose());
}

TEST_F(NewsServerTest, ArticlesGoOutWithCrLfAndDotStuffing)
{
    auto client = inGroupOne();
    QByteArray text = FolderStore(dir.path()).article("alt.test.one", 4);
    ASSERT_TRUE(text.contains("\r\n.hidden\r\n..\r\n"));

    const auto whole = client->command("ARTICLE 4");
    ASSERT_TRUE(whole);
    EXPECT_EQ(whole->raw, "220 4 <4@x>\r\n" + text.replace("\r\n.", "\r\n..") + ".\r\n");

    const auto body = client->command("BODY 4");
    ASSERT_TRUE(body);
    EXPECT_EQ(body->block(), "line one\r\n..hidden\r\n...\r\nlast\r\n");

    const auto head = client->command("HEAD 4");
    ASSERT_TRUE(head);
    EXPECT_TRUE(head->block().startsWith("From: poster@example.com\r\nSubject: picture 4"));
    EXPECT_TRUE(head->block().endsWith("Xref: h alt.test.one:4\r\n"));
}

TEST_F(NewsServerTest, OverviewAndListBlocks)
{
    auto client = inGroupOne();
    const auto over = client->command("XOVER 3-7");
    ASSERT_TRUE(over);
    const QByteArray a3 = FolderStore(dir.path()).article("alt.test.one", 3);
    EXPECT_EQ(over->block(), "3\tpicture 3 - \"p.jpg\" yEnc (1/1)\tposter@example.com\t\t<3@x>\t\t" +
                                 QByteArray::number(a3.size()) +
                                 "\t2\tXref: h alt.test.one:3\r\n"
                                 "4\tpicture 4 - \"p.jpg\" yEnc (1/1)\tposter@example.com\t\t<4@x>\t\t" +
                                 QByteArray::number(a3.size() + 13) +
                                 "\t4\tXref: h alt.test.one:4\r\n"
                                 "7\tpicture 7 - \"p.jpg\" yEnc (1/1)\tposter@example.com\t\t<7@x>\t\t" +
                                 QByteArray::number(a3.size()) + "\t2\tXref: h alt.test.one:7\r\n");
    const auto one = client->command("XOVER 7");
    ASSERT_TRUE(one);
    EXPECT_TRUE(one->block().startsWith("7\t"));
    EXPECT_EQ(one->block().count('\n'), 1);

    // LISTGROUP (RFC 3977 6.1.2) lists the numbers of a range, or of the whole group.
    const auto numbers = client->command("LISTGROUP alt.test.one 4-");
    ASSERT_TRUE(numbers);
    EXPECT_EQ(numbers->statusLine(), "211 3 3 7 alt.test.one list follows");
    EXPECT_EQ(numbers->block(), "4\r\n7\r\n");
    const auto whole = client->command("LISTGROUP");
    ASSERT_TRUE(whole);
    EXPECT_EQ(whole->block(), "3\r\n4\r\n7\r\n");
    const auto none = client->command("LISTGROUP alt.test.one 5-6");
    ASSERT_TRUE(none);
    EXPECT_EQ(none->block(), "");

    const auto list = client->command("LIST");
    ASSERT_TRUE(list);
    EXPECT_EQ(list->block(), "alt.test.empty 0 1 y\r\nalt.test.one 7 3 y\r\nalt.test.two 1 1 y\r\n");
    const auto some = client->command("LIST ACTIVE alt.*.t*");
    ASSERT_TRUE(some);
    EXPECT_EQ(some->block(), "alt.test.two 1 1 y\r\n");
}

TEST_F(NewsServerTest, LoginWhenRequired)
{
    server->setCredentials("user", "secret");
    const struct {
        QByteArray command, status;
    } steps[] = {
        {"GROUP alt.test.one", "480 Authentication required"},
        {"SLAVE", "480 Authentication required"},
        {"AUTHINFO PASS secret", "482 Authentication commands issued out of sequence"},
        {"AUTHINFO USER user", "381 Password required"},
        {"AUTHINFO PASS wrong", "481 Authentication failed"},
        {"GROUP alt.test.one", "480 Authentication required"},
        {"AUTHINFO USER user", "381 Password required"},
        {"AUTHINFO PASS secret", "281 Authentication accepted"},
        {"GROUP alt.test.one", "211 3 3 7 alt.test.one"},
        {"AUTHINFO USER user", "502 Already authenticated"},
    };
    auto client = connectClient();
    ASSERT_TRUE(client->read());
    for (const auto &s : steps)
        EXPECT_EQ(client->status(s.command), s.status) << s.command.constData();
}

TEST_F(NewsServerTest, RenumberedGroupShowsShiftedNumbers)
{
    server->setNumberShift("alt.test.one", -2);
    auto client = connectClient();
    ASSERT_TRUE(client->read());
    EXPECT_EQ(client->status("GROUP alt.test.one"), "211 3 1 5 alt.test.one");
    EXPECT_EQ(client->status("ARTICLE 2"), "220 2 <4@x>");
    EXPECT_EQ(client->status("ARTICLE 7"), "423 No article with that number");
    const auto over = client->command("XOVER 1-");
    ASSERT_TRUE(over);
    QByteArrayList numbers;
    for (const QByteArray &line : over->block().toByteArray().split('\n'))
        numbers.append(line.split('\t').value(0));
    EXPECT_EQ(numbers, QByteArrayList({"1", "2", "5", ""}));
    const auto list = client->command("LIST ACTIVE alt.test.one");
    ASSERT_TRUE(list);
    EXPECT_EQ(list->block(), "alt.test.one 5 1 y\r\n");
}

// An RFC 2980 server answers 420 where RFC 3977 has 423; only empty ranges change.
TEST_F(NewsServerTest, EmptyRangeCodeAnswersEmptyRangesOnly)
{
    server->faults().emptyRangeCode = 420;
    auto client = inGroupOne();
    EXPECT_EQ(client->status("XOVER 5-6"), "420 No article(s) selected");
    EXPECT_EQ(client->status("XOVER 8-"), "420 No article(s) selected");
    EXPECT_EQ(client->status("HEAD 5"), "423 No article with that number");
    const auto over = client->command("XOVER 4-6");
    ASSERT_TRUE(over);
    EXPECT_TRUE(over->block().startsWith("4\t"));
}

TEST_F(NewsServerTest, RandomCutsKeepTheBytes)
{
    auto plain = inGroupOne();
    const auto expected = plain->command("ARTICLE 4");
    ASSERT_TRUE(expected);

    server->faults().randomSplits = 6;
    server->faults().splitPauseMs = 2;
    auto client = inGroupOne();
    client->chunks.clear();
    const auto cut = client->command("ARTICLE 4");
    ASSERT_TRUE(cut);
    EXPECT_EQ(cut->raw, expected->raw);
    EXPECT_GE(client->chunks.size(), 3);
}

TEST_F(NewsServerTest, CoalescedRepliesArriveInOneSegment)
{
    server->faults().repliesPerSegment = 2;
    auto client = connectClient();
    client->reader.expect(); // the greeting
    client->send("MODE READER");
    ASSERT_TRUE(client->read());
    ASSERT_TRUE(client->read());
    EXPECT_EQ(client->chunks.value(0),
              "200 newsd ready (posting allowed)\r\n200 Reader mode, posting permitted\r\n");
}

TEST_F(NewsServerTest, SilenceHoldsTheGreetingOrAReply)
{
    server->faults().silences = {{"", 400, 1}, {"slave", 300, 1}};
    auto client = connectClient();
    EXPECT_FALSE(client->read(200));
    EXPECT_TRUE(client->read(3000));
    client->send("SLAVE");
    client->send("GROUP alt.test.one"); // waits behind the silent one
    EXPECT_FALSE(client->read(150));
    EXPECT_TRUE(client->read(3000));
    EXPECT_TRUE(client->read(100));
    EXPECT_EQ(client->status("SLAVE"), "202 Slave status noted"); // used up

    server->faults().silences = {{"", -1, 1}};
    auto mute = connectClient();
    EXPECT_FALSE(mute->read(500));
}

TEST_F(NewsServerTest, DroppedInTheMiddleOfAnArticleOnce)
{
    server->faults().dropArticleAfterBytes = 40;
    auto client = inGroupOne();
    client->chunks.clear();
    client->send("ARTICLE 4");
    EXPECT_TRUE(client->waitForClose());
    EXPECT_EQ(client->received().size(), 40);
    EXPECT_EQ(client->reader.next(), kestrel::ReplyReader::Event::NeedMore);

    auto again = inGroupOne();
    EXPECT_EQ(again->status("ARTICLE 4"), "220 4 <4@x>");
}

TEST_F(NewsServerTest, ForcedRepliesReplaceTheCommandAsManyTimesAsAsked)
{
    const struct {
        QByteArray command;
        int code;
        QByteArray normal;
    } cases[] = {
        {"GROUP alt.test.one", 411, "211 3 3 7 alt.test.one"},
        {"BODY 3", 423, "222 3 <3@x>"},
        {"XOVER 3-4", 502, "224 Overview information follows"},
        {"LIST", 400, "215 list of newsgroups follows"},
    };
    // A command with arguments is forced only for those arguments.
    server->faults().forcedReplies = {{"article 4", 430, -1}};
    auto one = inGroupOne();
    EXPECT_EQ(one->status("ARTICLE  4"), "430 No article with that message-id");
    EXPECT_EQ(one->status("ARTICLE 3"), "220 3 <3@x>");
    EXPECT_EQ(one->status("ARTICLE 4"), "430 No article with that message-id");

    for (const auto &c : cases) {
        server->faults().forcedReplies = {{c.command.split(' ').value(0).toLower(), c.code, 1}};
        auto client = connectClient();
        ASSERT_TRUE(client->read());
        if (!c.command.startsWith("GROUP"))
            client->status("GROUP alt.test.one");
        const auto forced = client->command(c.command);
        ASSERT_TRUE(forced) << c.command.constData();
        EXPECT_EQ(forced->code, c.code) << c.command.constData();
        EXPECT_FALSE(forced->multiLine);
        EXPECT_EQ(client->status(c.command), c.normal) << c.command.constData();
    }
}

TEST_F(NewsServerTest, RefusingGreetingsCloseTheConnection)
{
    for (int code : {400, 502, 201}) {
        server->faults().greetingCode = code;
        auto client = connectClient();
        const auto greeting = client->read();
        ASSERT_TRUE(greeting);
        EXPECT_EQ(greeting->code, code);
        EXPECT_EQ(client->waitForClose(code == 201 ? 300 : 3000), code != 201) << code;
    }
}

TEST_F(NewsServerTest, TranscriptKeepsEveryCommandWithItsConnection)
{
    QList<int> signalled;
    QObject::connect(server.get(), &NewsServer::commandReceived,
                     [&](int connection, const QByteArray &) { signalled.append(connection); });
    auto first = connectClient();
    ASSERT_TRUE(first->read());
    first->status("MODE READER");
    auto second = connectClient();
    ASSERT_TRUE(second->read());
    second->status("GROUP alt.test.two");
    first->status("QUIT");
    EXPECT_EQ(server->commands(), QByteArrayList({"MODE READER", "GROUP alt.test.two", "QUIT"}));
    const auto transcript = server->transcript();
    ASSERT_EQ(transcript.size(), 3);
    EXPECT_EQ(transcript[0].connection, 1);
    EXPECT_EQ(transcript[1].connection, 2);
    EXPECT_EQ(transcript[2].connection, 1);
    EXPECT_EQ(signalled, QList<int>({1, 2, 1}));
    EXPECT_TRUE(waitUntil([&] { return server->openConnections() == 1; }));
    server->dropConnections();
    EXPECT_TRUE(second->waitForClose());
}

// Commands sent without waiting are answered in order, each no sooner than the
// latency after it arrived; a command split over two segments counts from its end.
TEST_F(NewsServerTest, LatencyDelaysEveryAnswerOfPipelinedCommands)
{
    server->faults().latencyMs = 150;
    auto client = inGroupOne();
    QElapsedTimer sent;
    sent.start();
    client->reader.expectReplyTo("BODY 3");
    client->reader.expectReplyTo("BODY 9");
    client->reader.expectReplyTo("BODY 4");
    client->socket.write("BODY 3\r\nBODY 9\r\nBO");
    client->socket.flush();
    ASSERT_TRUE(waitUntil([&] { return server->commands().size() == 3; }, 3000));
    client->socket.write("DY 4\r\n");
    QByteArrayList statuses;
    for (int i = 0; i < 3; ++i) {
        const auto reply = client->read();
        ASSERT_TRUE(reply) << i;
        statuses.append(reply->statusLine().toByteArray());
    }
    EXPECT_GE(sent.elapsed(), 150);
    EXPECT_EQ(statuses, (QByteArrayList{"222 3 <3@x>", "423 No article with that number", "222 4 <4@x>"}));
}

// A connection past the limit is refused with 502 and closed; once one of the
// others has gone, the next is served again.
TEST_F(NewsServerTest, ConnectionsPastTheLimitAreRefused)
{
    server->faults().connectionLimit = 2;
    auto first = connectClient();
    auto second = connectClient();
    ASSERT_TRUE(first->read());
    ASSERT_TRUE(second->read());
    auto third = connectClient();
    const auto refusal = third->read();
    ASSERT_TRUE(refusal);
    EXPECT_EQ(refusal->statusLine(), "502 Too many connections");
    EXPECT_TRUE(third->waitForClose());
    first->status("QUIT");
    ASSERT_TRUE(waitUntil([&] { return server->openConnections() == 1; }));
    auto fourth = connectClient();
    const auto greeting = fourth->read();
    ASSERT_TRUE(greeting);
    EXPECT_EQ(greeting->code, 200);
}

namespace {

// Starts the newsd program with these arguments; the port it prints, 0 when it did not.
quint16 startNewsd(QProcess &newsd, const QStringList &args)
{
    newsd.start(QStringLiteral(NEWSD_PATH), args);
    if (!newsd.waitForStarted(5000) || !newsd.waitForReadyRead(5000))
        return 0;
    bool ok = false;
    const quint16 port = newsd.readLine().trimmed().toUShort(&ok);
    return ok ? port : 0;
}

} // namespace

TEST(NewsdProgram, PrintsItsPortServesAndStopsOnSigterm)
{
    QProcess newsd;
    const quint16 port =
        startNewsd(newsd, {QStringLiteral("--generate"), QStringLiteral("alt.x=50@11"),
                           QStringLiteral("--force"), QStringLiteral("GROUP=411:1"), QStringLiteral("--auth"),
                           QStringLiteral("u:p"), QStringLiteral("--multipart")});
    ASSERT_NE(port, 0);

    NntpTestClient client(port);
    const auto greeting = client.read();
    ASSERT_TRUE(greeting);
    EXPECT_EQ(greeting->code, 200);
    EXPECT_EQ(client.status("GROUP alt.x").left(3), "411");
    EXPECT_EQ(client.status("GROUP alt.x").left(3), "480");
    EXPECT_EQ(client.status("AUTHINFO USER u").left(3), "381");
    EXPECT_EQ(client.status("AUTHINFO PASS p").left(3), "281");
    EXPECT_EQ(client.status("GROUP alt.x"), "211 50 11 60 alt.x");
    // --multipart posts pictures in several parts.
    const auto over = client.command("XOVER 11-60");
    ASSERT_TRUE(over);
    EXPECT_TRUE(over->block().contains("\"IMG_4000.jpg\" yEnc (1/")) << over->block().constData();
    EXPECT_TRUE(over->block().contains("\"IMG_4000.jpg\" yEnc (2/")) << over->block().constData();

    newsd.terminate();
    ASSERT_TRUE(newsd.waitForFinished(5000));
    EXPECT_EQ(newsd.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(newsd.exitCode(), 0);
}
