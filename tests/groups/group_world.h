#pragma once

#include "base/context.h"
#include "groups/group_manager.h"
#include "newsd/news_server.h"
#include "nntp/login.h"
#include "scan/favourites.h"
#include "support/temp_program_folder.h"
#include "support/wait.h"

#include <gtest/gtest.h>

#include <memory>

namespace kestrel::test {

// A server that only lists groups.
class GroupOnlyStore : public newsd::ArticleStore {
public:
    explicit GroupOnlyStore(QList<newsd::GroupInfo> groups) : m_groups(std::move(groups)) {}
    QList<newsd::GroupInfo> groups() const override { return m_groups; }
    bool has(QByteArrayView, qint64) const override { return false; }
    QByteArray article(QByteArrayView, qint64) const override { return {}; }

private:
    QList<newsd::GroupInfo> m_groups;
};

inline QList<newsd::GroupInfo> numberedGroups(int count)
{
    QList<newsd::GroupInfo> groups;
    for (int i = 0; i < count; ++i)
        groups.append({"alt.binaries.pictures.group" + QByteArray::number(i), 100 + i, 150 + 2 * i, 50 + i});
    return groups;
}

// A group manager in a fresh program folder, pointed at an in-process server.
struct GroupWorld {
    TempProgramFolder folder;
    ManualClock clock;
    RecordingPrompter prompter;
    Context ctx{folder.path(), &clock, &prompter};
    Login login{ctx};
    FavouritesModel favs{ctx};
    std::shared_ptr<GroupOnlyStore> store;
    newsd::NewsServer server;
    GroupManager manager{ctx, login, favs};
    QStringList log; // every logged message, oldest first

    explicit GroupWorld(QList<newsd::GroupInfo> groups = numberedGroups(5))
        : store(std::make_shared<GroupOnlyStore>(std::move(groups))), server(store)
    {
        EXPECT_TRUE(server.listen());
        ctx.settings.setText(u"txtHost", QStringLiteral("127.0.0.1"));
        ctx.settings.setText(u"txtPort", QString::number(server.port()));
        QObject::connect(&ctx.log, &OperationsLog::logged,
                         [this](const QString &, const QString &message) { log.append(message); });
    }

    // The LIST answer the server gives, byte for byte.
    QByteArray expectedList() const
    {
        QByteArray text = "215 list of newsgroups follows\r\n";
        for (const newsd::GroupInfo &g : store->groups())
            text += g.name + ' ' + QByteArray::number(g.count > 0 ? g.last : g.first - 1) + ' ' +
                    QByteArray::number(g.first) + " y\r\n";
        return text + ".\r\n";
    }

    void logIn(const char *user, const char *password, bool always)
    {
        ctx.settings.setChecked(u"chkAuth", always);
        ctx.settings.setText(u"txtUserName", QString::fromLatin1(user));
        ctx.settings.setText(u"txtPassword", QString::fromLatin1(password));
    }

    bool waitForStatus(const QString &prefix, int ms = 5000)
    {
        return waitUntil([&] { return manager.statusPanel(0).startsWith(prefix); }, ms);
    }
};

} // namespace kestrel::test
