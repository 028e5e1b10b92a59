// The download run over more than one connection.
#include "circle/circle_fixture.h"

#include <algorithm>
#include <map>

#include <QRegularExpression>

namespace kestrel::test {
namespace {

// The entries go out to the connections in list order, each connection asks for its
// share in that order and every article is fetched once. A server that allows fewer
// connections than asked for refuses the others; the run goes on with the ones it got.
// The status line and the article bar count the whole run: the articles handed over out
// of all taken or still queued, and the bytes of every connection, not the article of
// whichever connection read last.
TEST(DownloadConnections, ConnectionsShareTheListAndAServerLimitLowersTheirNumber)
{
    const struct {
        int connections;
        int serverLimit; // 0: none
        int used;
    } cases[] = {{2, 0, 2}, {2, 2, 2}, {4, 2, 2}, {4, 0, 4}};
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.connections << " connections, limit " << c.serverLimit);
        CircleWorld w({{"a.one", 1, 40, 0}});
        w.ctx.settings.setNumber(u"sldConnections", c.connections);
        w.ctx.settings.setNumber(u"sldPipeline", 2);
        // A round trip long enough that the first connection cannot fetch everything
        // before the others are ready.
        w.server.faults().latencyMs = 20;
        w.server.faults().connectionLimit = c.serverLimit;
        QByteArrayList all = w.queueNumbered(3, 26);
        QStringList statuses;
        std::vector<MainDisplay::Bar> bars;
        std::vector<qint64> bytes{0}; // of the articles handed over before each
        w.sink.onArticle = [&](const CapturedArticle &a) {
            statuses.append(w.ctx.log.statusLine());
            bars.push_back(w.ctx.display.bar(ProgressBar::Article));
            bytes.push_back(bytes.back() + a.bytes);
        };
        ASSERT_TRUE(w.downloadRun(20000));
        EXPECT_FALSE(w.waits.back());
        ASSERT_EQ(statuses.size(), all.size());
        const QRegularExpression form(
            QStringLiteral(R"(^Downloading: (\d+) of (\d+) articles, ([\d,]+\.\d)kb \[)"));
        for (int i = 0; i < statuses.size(); ++i) {
            SCOPED_TRACE(qPrintable(statuses[i]));
            const QRegularExpressionMatch m = form.match(statuses[i]);
            ASSERT_TRUE(m.hasMatch());
            EXPECT_EQ(m.captured(1).toInt(), i);
            EXPECT_EQ(m.captured(2).toInt(), all.size());
            // Both the finished ones and the one being handed over.
            EXPECT_GE(QString(m.captured(3)).remove(u',').toDouble() * 1000 + 50,
                      double(bytes[size_t(i + 1)]));
            EXPECT_EQ(bars[size_t(i)].maximum, all.size());
            EXPECT_EQ(bars[size_t(i)].value, i);
        }

        QByteArrayList names = w.fetched();
        std::sort(names.begin(), names.end());
        std::sort(all.begin(), all.end());
        EXPECT_EQ(names, all);
        EXPECT_TRUE(w.texts().isEmpty());
        EXPECT_FALSE(w.ctx.state.articleInHand);

        std::map<int, QList<qint64>> asked; // BODY numbers by connection
        for (const newsd::TranscriptEntry &e : w.server.transcript())
            if (e.line.startsWith("BODY"))
                asked[e.connection].append(e.line.mid(4).trimmed().toLongLong());
        EXPECT_EQ(int(asked.size()), c.used);
        for (const auto &[connection, numbers] : asked)
            EXPECT_TRUE(std::is_sorted(numbers.begin(), numbers.end())) << connection;
        EXPECT_EQ(w.server.connectionsAccepted(), c.connections);
        for (int refused = c.used + 1; refused <= c.connections; ++refused)
            EXPECT_TRUE(w.logged(QStringLiteral("Download connection") + QLatin1Char(' ') +
                                 QString::number(refused) +
                                 QStringLiteral(" refused (502 Too many connections)")));
    }
}

// Each connection keeps its own group: every article it asks for belongs to the group
// it selected last, whichever groups the others are in.
TEST(DownloadConnections, EachConnectionAsksInTheGroupItSelected)
{
    CircleWorld w({{"a.one", 1, 20, 0}, {"a.two", 1, 20, 0}});
    w.ctx.settings.setNumber(u"sldConnections", 3);
    w.ctx.settings.setNumber(u"sldPipeline", 2);
    w.server.faults().latencyMs = 10;
    std::map<QByteArray, QList<qint64>> queued;
    const auto add = [&](const QByteArray &group, qint64 from, qint64 to) {
        for (qint64 n = from; n <= to; ++n) {
            w.addPending(group, n, group + '-' + QByteArray::number(n) + ".jpg");
            queued[group].append(n);
        }
    };
    add("a.one", 3, 8);
    add("a.two", 2, 7);
    add("a.one", 9, 12);
    ASSERT_TRUE(w.downloadRun(20000));
    EXPECT_FALSE(w.waits.back());
    EXPECT_EQ(int(w.sink.articles.size()), 16);
    EXPECT_TRUE(w.texts().isEmpty());

    std::map<int, QByteArray> selected;
    std::map<QByteArray, QList<qint64>> asked;
    for (const newsd::TranscriptEntry &e : w.server.transcript()) {
        if (e.line.startsWith("GROUP "))
            selected[e.connection] = e.line.mid(6);
        if (e.line.startsWith("BODY"))
            asked[selected[e.connection]].append(e.line.mid(4).trimmed().toLongLong());
    }
    for (auto &[group, numbers] : asked)
        std::sort(numbers.begin(), numbers.end());
    for (auto &[group, numbers] : queued)
        std::sort(numbers.begin(), numbers.end());
    EXPECT_EQ(asked, queued);
}

} // namespace
} // namespace kestrel::test
