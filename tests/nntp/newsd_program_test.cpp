#include "nntp_test_client.h"

#include <gtest/gtest.h>

#include <QProcess>

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

    kestrel::test::NntpTestClient client(port);
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
