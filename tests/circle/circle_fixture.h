#pragma once

#include "scan/scan_fixture.h"

#include "circle/article_sink.h"
#include "circle/circle.h"
#include "circle/connections.h"
#include "circle/download_session.h"
#include "circle/rescan_countdown.h"
#include "circle/scan_driver.h"
#include "circle/scan_session.h"
#include "newsd/folder_store.h"
#include "newsd/news_server.h"
#include "newsd/sample_store.h"
#include "scan/csv_lookup.h"
#include "scan/favourites.h"
#include "scan/header_filter.h"
#include "scan/pending_file.h"
#include "support/wait.h"

#include <QFile>
#include <QSignalSpy>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

namespace kestrel::test {

inline const QByteArray kGroup = "alt.binaries.pictures.test";
// What queueNumbered(3, 8) queues.
inline const QByteArrayList kSix{"p3.jpg", "p4.jpg", "p5.jpg", "p6.jpg", "p7.jpg", "p8.jpg"};

// Keeps what the download connection hands over. With `later` it takes each article
// and reports it only when the test says (report), as the decode worker does; it holds
// at most `room` of them.
struct RecordingSink : ArticleSink {
    std::vector<CapturedArticle> articles;
    std::function<void(const CapturedArticle &)> onArticle;    // runs inside the hand-over
    std::function<SinkResult(const CapturedArticle &)> answer; // Done when empty
    QByteArrayList abandoned;                                  // pictures, by name
    bool later = false;
    size_t room = 1000;
    std::deque<QByteArray> taken; // names taken and not reported yet
    int drops = 0;
    Listener *listener = nullptr;

    SinkResult articleRetrieved(const CapturedArticle &a) override
    {
        articles.push_back(a);
        if (onArticle)
            onArticle(a);
        if (!later)
            return answer ? answer(a) : SinkResult::Done;
        taken.push_back(a.fileName);
        return SinkResult::Taken;
    }
    void setListener(Listener *l) override { listener = l; }
    bool full() const override { return taken.size() >= room; }
    void dropTaken() override
    {
        taken.clear();
        ++drops;
    }
    void report(SinkResult result)
    {
        taken.pop_front();
        listener->articleFiled(result);
    }
    void pictureAbandoned(const PendingEntry &picture) override { abandoned.append(picture.text); }
};

// One engine's circle against an in-process news server with generated groups.
struct CircleWorld : ScanWorld {
    std::shared_ptr<newsd::SampleStore> store;
    newsd::NewsServer server;
    FavouritesModel favs{ctx};
    FilterCounters counters;
    NoCsvIndex noCsv;
    HeaderFilter filter{ctx, counters, pending, noRedl, blacklist, dupePaths, noCsv};
    RecordingSink sink;
    std::vector<bool> waits; // wouldWait reports, error flag each
    QStringList log;         // every logged message, oldest first
    Circle circle{ctx, favs, pending, filter, counters, sink};

    explicit CircleWorld(QList<newsd::SampleGroup> groups = {{kGroup, 1, 40, 0}})
        : store(std::make_shared<newsd::SampleStore>(groups)), server(store)
    {
        EXPECT_TRUE(server.listen());
        ctx.settings.setText(u"txtHost", QStringLiteral("127.0.0.1"));
        ctx.settings.setText(u"txtPort", QString::number(server.port()));
        ctx.settings.setText(u"lblDownloadPath", folder.path() + QStringLiteral("/dl/"));
        ctx.settings.setChecked(u"chkReScan", false);
        ctx.settings.setChecked(u"chkAutodownload", false);
        ctx.settings.setChecked(u"chkAllowRestart", false);
        // Generated subjects are single-part pictures; let every size through.
        ctx.settings.setNumber(u"sldLineMin", 0);
        ctx.settings.setNumber(u"sldLineMax", SliderKey(u"sldLineMax").def().max);
        QObject::connect(&circle, &Circle::wouldWait, [this](bool error) { waits.push_back(error); });
        QObject::connect(&ctx.log, &OperationsLog::logged, &circle,
                         [this](const QString &, const QString &message) { log.append(message); });
        for (const auto &g : groups)
            addFavourite(g.name);
    }

    ~CircleWorld()
    {
        if (::testing::Test::HasFailure()) {
            for (const QString &line : log)
                std::fprintf(stderr, "  log: %s\n", qPrintable(line));
            for (const auto &e : server.transcript())
                std::fprintf(stderr, "  cmd %d: %s\n", e.connection, e.line.constData());
        }
    }

    void addFavourite(const QByteArray &name)
    {
        FavouriteRow row;
        row.name = name;
        favs.appendRow(row);
    }

    // A queued entry for article `tag` of `group`.
    void addPending(const QByteArray &group, qint64 tag, const QByteArray &name)
    {
        pending.addArticleHeader("a@b.c", name + " (1/1)", "org", QByteArray::number(tag), "100", "host", 1,
                                 false, {}, false, false, name, group);
    }

    // p<n>.jpg for articles `from` to `to` of a.one, queued in that order; their names.
    QByteArrayList queueNumbered(qint64 from, qint64 to)
    {
        QByteArrayList names;
        for (qint64 n = from; n <= to; ++n) {
            names.append("p" + QByteArray::number(n) + ".jpg");
            addPending("a.one", n, names.back());
        }
        return names;
    }

    // The server holds only these articles of the first group; the store it serves.
    std::shared_ptr<newsd::FolderStore> serveOnly(const QList<qint64> &numbers)
    {
        const QByteArray group = store->groups().value(0).name;
        const QString spool = folder.path() + QStringLiteral("/spool");
        for (const qint64 n : numbers)
            EXPECT_TRUE(newsd::FolderStore::writeArticle(spool, group, n, store->article(group, n)));
        auto served = std::make_shared<newsd::FolderStore>(spool);
        server.setStore(served);
        return served;
    }

    // The names pending.dat holds once the list is saved.
    QByteArrayList savedPending()
    {
        if (!pending.savePending())
            return {"save failed"};
        QFile f(ctx.state.file(QStringLiteral("pending.dat")));
        if (!f.open(QIODevice::ReadOnly))
            return {"unreadable"};
        QByteArrayList saved;
        for (const PendingEntry &e : pendingfile::read(f).entries)
            saved.append(e.text);
        return saved;
    }

    bool runUntilWait(int ms = 5000)
    {
        const size_t before = waits.size();
        return waitUntil([&] { return waits.size() > before; }, ms);
    }
    bool scanRun(int ms = 5000)
    {
        circle.connectScan();
        return runUntilWait(ms);
    }
    bool downloadRun(int ms = 5000)
    {
        circle.downloadNext();
        return runUntilWait(ms);
    }
    void useXover(int range)
    {
        ctx.settings.setChecked(u"chkXOVER", true);
        ctx.settings.setNumber(u"sldXOVER", range);
    }
    bool quitSent(int connection = 1)
    {
        return waitUntil([&] { return commands(connection).endsWith("QUIT"); }, 3000);
    }

    QByteArrayList commands(int connection = 0) const
    {
        QByteArrayList out;
        for (const auto &e : server.transcript())
            if (connection == 0 || e.connection == connection)
                out.append(e.line);
        return out;
    }

    static int count(const QByteArrayList &lines, const QByteArray &prefix)
    {
        return int(std::count_if(lines.begin(), lines.end(),
                                 [&](const QByteArray &l) { return l.startsWith(prefix); }));
    }

    qint64 highestTag() const
    {
        qint64 highest = 0;
        for (int i = 0; i < pending.count(); ++i)
            highest = std::max(highest, *pending.entry(i).tag.value());
        return highest;
    }

    // The names handed to the sink, in the order they came.
    QByteArrayList fetched() const
    {
        QByteArrayList names;
        for (const CapturedArticle &a : sink.articles)
            names.append(a.fileName);
        return names;
    }

    // How many logged lines hold `text`.
    int timesLogged(const QString &text) const
    {
        return int(std::count_if(log.begin(), log.end(), [&](const QString &l) { return l.contains(text); }));
    }

    bool logged(const QString &text) const { return timesLogged(text) > 0; }
};

} // namespace kestrel::test
