#include "groups/group_manager.h"

#include "base/context.h"
#include "groups/list_numbers.h"
#include "scan/favourites.h"

#include <QFile>

namespace kestrel {

GroupManager::GroupManager(Context &ctx, Login &login, FavouritesModel &favourites, QObject *parent)
    : QObject(parent), m_ctx(ctx), m_login(login), m_favourites(favourites), m_search(ctx.clock)
{
    m_login.setPort(ConnectionRole::GroupList, this);
    connect(&m_listConnection, &NntpConnection::dataArrived, this, &GroupManager::onDataArrived);
    connect(&m_listConnection, &NntpConnection::socketError, this, &GroupManager::onConnectionLost);
    connect(&m_listConnection, &NntpConnection::peerClosed, this,
            [this] { onConnectionLost(QStringLiteral("The remote host closed the connection")); });

    connect(&m_search, &GroupSearch::started, this, [this](qint64 maximum) {
        GroupManagerControls c = m_controls;
        c.progressMaximum = maximum;
        c.progressValue = 0;
        c.progressVisible = true;
        setControls(c);
    });
    connect(&m_search, &GroupSearch::rowsFound, this, [this](const QList<GroupResultRow> &rows) {
        if (rows.isEmpty())
            return;
        m_results.appendRows(rows);
        GroupManagerControls c = m_controls;
        c.cmdAdd = true;
        setControls(c);
    });
    connect(&m_search, &GroupSearch::progressed, this, [this](qint64 position, const QString &status) {
        GroupManagerControls c = m_controls;
        c.progressValue = position;
        setControls(c);
        showGroupStatus(status, 0);
    });
    connect(&m_search, &GroupSearch::ended, this,
            [this](bool, const QString &status) { onSearchEnded(status); });
}

GroupManager::~GroupManager()
{
    m_login.setPort(ConnectionRole::GroupList, nullptr);
}

void GroupManager::showGroupStatus(const QString &text, int panel)
{
    const int i = panel == 0 ? 0 : 1;
    m_status[i] = text;
    Q_EMIT statusChanged(i, text);
}

void GroupManager::setControls(const GroupManagerControls &controls)
{
    if (controls == m_controls)
        return;
    m_controls = controls;
    Q_EMIT controlsChanged();
}

void GroupManager::setSearchControls(bool enabled)
{
    GroupManagerControls c = m_controls;
    c.cmdQR = c.optStartsWith = c.optContains = c.txtQR = enabled;
    setControls(c);
}

void GroupManager::windowLoaded()
{
    if (!m_listConnection.isClosed() || m_search.isRunning())
        return;
    setControls(GroupManagerControls{});
    loadHostGroupsFile();
}

void GroupManager::loadHostGroupsFile()
{
    m_results.clear();
    showGroupStatus(QStringLiteral("Loading..."), 0);
    QFile file(m_ctx.state.file(QStringLiteral("HOSTGRPS.TXT")));
    if (!file.exists()) {
        GroupManagerControls c = m_controls;
        c.cmdQR = c.optStartsWith = c.optContains = false;
        setControls(c);
        showGroupStatus(QStringLiteral("HOSTGRPS.TXT file not found.  Download to create."), 0);
        return;
    }
    m_groupListBuffer.clear(); // never two lists in memory at once
    if (file.open(QIODevice::ReadOnly))
        m_groupListBuffer = file.readAll();
    if (file.error() != QFileDevice::NoError)
        m_ctx.prompter.message(QStringLiteral("Preload_groups Error:") + file.errorString());
    showGroupStatus(QStringLiteral("HOSTGRPS.TXT ready; ") + kbOneDecimal(m_groupListBuffer.size()) +
                        QStringLiteral(" kb "),
                    1);
    showGroupStatus(QString(), 0);
    setSearchControls(true);
}

void GroupManager::cmdQRClicked(const QString &text)
{
    if (text.isEmpty()) {
        m_ctx.prompter.message(
            QStringLiteral("Enter some text and press search to find groups.") + QStringLiteral("\r\n\r\n") +
            QStringLiteral("...or click 'starts with' and search for group trees like 'alt.binaries.'") +
            QStringLiteral("\r\n"));
        return;
    }
    if (m_search.isRunning()) {
        m_search.requestStop();
        GroupManagerControls c = m_controls;
        c.txtQR = c.optStartsWith = c.optContains = true;
        setControls(c);
        return;
    }
    GroupManagerControls c = m_controls;
    c.cmdQRCaption = QStringLiteral("&Stop Search");
    c.txtQR = c.optStartsWith = c.optContains = c.cmdGetHostGroups = c.reloadHostGroups = false;
    setControls(c);
    searchGroups(text.toUtf8());
}

void GroupManager::searchGroups(const QByteArray &text)
{
    m_results.clear();
    GroupManagerControls c = m_controls;
    c.frame1Visible = false;
    c.cmdAdd = false;
    setControls(c);
    m_search.start(m_groupListBuffer, text, m_mode);
}

void GroupManager::onSearchEnded(const QString &statusText)
{
    showGroupStatus(statusText, 0);
    GroupManagerControls c = m_controls;
    c.cmdQRCaption = QStringLiteral("Search");
    c.txtQR = c.optStartsWith = c.optContains = c.cmdGetHostGroups = c.reloadHostGroups = true;
    c.progressVisible = false;
    c.frame1Visible = true;
    setControls(c);
}

void GroupManager::cmdAddClicked()
{
    if (!m_results.anySelected()) {
        showGroupStatus(QStringLiteral("Error, no group(s) selected."), 0);
        return;
    }
    for (int i = int(m_results.rows().size()) - 1; i >= 0; --i) {
        if (!m_results.rows()[i].selected)
            continue;
        m_favourites.addFavouriteGroup(m_results.rows()[i].name);
        m_results.setSmallIcon(i, 3);
    }
    m_favourites.saveFavsOrLog();
}

} // namespace kestrel
