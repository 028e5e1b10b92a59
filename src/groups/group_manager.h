#pragma once

#include "groups/group_results_model.h"
#include "groups/group_search.h"

#include "nntp/login.h"
#include "nntp/nntp_connection.h"

#include <QByteArray>
#include <QObject>
#include <QString>

namespace kestrel {

class Context;
class FavouritesModel;

// Sends a line on the group-list connection (3) when it is up and logs it as sent,
// login lines included; false (and nothing logged) otherwise.
bool sendGroupList(Context &ctx, NntpConnection &listConnection, const QByteArray &line);

// What the group manager window shows of its controls; the window copies it into its
// widgets whenever controlsChanged() is emitted.
struct GroupManagerControls {
    bool cmdGetHostGroups = true; // "Retrieve Groups from Host"
    bool reloadHostGroups = true; // "reload HOSTGRPS.TXT from disk"
    bool cmdQR = true;            // the search / stop button
    QString cmdQRCaption = QStringLiteral("Search");
    bool optStartsWith = true; // optSearchType 0
    bool optContains = true;   // optSearchType 1
    bool txtQR = true;
    bool cmdAdd = false;          // "&Add Selections"
    bool frame1Visible = true;    // the results frame (list and cmdAdd)
    bool progressVisible = false; // ProgressBar1
    qint64 progressMaximum = 0;
    qint64 progressValue = 0;

    bool operator==(const GroupManagerControls &) const = default;
};

// The engine of the group manager window ("Host Newsgroups"): the group-list
// connection (3) that fetches the server's LIST answer into HOSTGRPS.TXT, the text of
// that file in memory, the search over it with its result rows, and the adding of found
// groups to the favourites. The window calls one operation per button and shows what
// the signals tell it.
class GroupManager : public QObject, private LoginPort {
    Q_OBJECT
public:
    // login serves connection 3 through this object while it lives.
    GroupManager(Context &ctx, Login &login, FavouritesModel &favourites, QObject *parent = nullptr);
    ~GroupManager() override;

    // --- Window and buttons ---
    // The window was opened: HOSTGRPS.TXT is read and the controls start afresh (a
    // failed retrieve leaves them disabled until then). A download or search still
    // running behind a closed window is left alone.
    void windowLoaded();
    // cmdGetHostGroups: asks before deleting an old file, then connects and fetches.
    void cmdGetHostGroupsClicked();
    // The reload button (Command2): reads HOSTGRPS.TXT again.
    void reloadHostGroupsClicked() { loadHostGroupsFile(); }
    // cmdQR: starts a search for text (exactly as typed), or stops the one running.
    void cmdQRClicked(const QString &text);
    // optSearchType: 0 "Starts with:", 1 "Contains:" (the default).
    void setSearchType(int option) { m_mode = option == 0 ? SearchMode::StartsWith : SearchMode::Contains; }
    int searchType() const { return int(m_mode); }
    // cmdAdd: adds the selected result rows to the favourites and saves them once.
    void cmdAddClicked();
    // A click on a column header of the result list.
    void resultHeaderClicked(int column) { m_results.headerClicked(column); }

    // --- Routines ---
    void loadHostGroupsFile();
    void showGroupStatus(const QString &text, int panel);
    void searchGroups(const QByteArray &text);

    // --- State ---
    GroupResultsModel &results() { return m_results; }
    const GroupManagerControls &controls() const { return m_controls; }
    QString statusPanel(int panel) const { return m_status[panel == 0 ? 0 : 1]; }
    const QByteArray &groupListBuffer() const { return m_groupListBuffer; }
    qint64 groupBytesReceived() const { return m_groupBytesReceived; }
    NntpConnection &listConnection() { return m_listConnection; }
    bool searching() const { return m_search.isRunning(); }

Q_SIGNALS:
    // Panel 0 carries progress and messages, panel 1 the size of the loaded file.
    void statusChanged(int panel, const QString &text);
    void controlsChanged();

private:
    // LoginPort for connection 3.
    void sendLoginLine(const QByteArray &line) override;
    void userNameMissing() override;
    void passwordMissing() override;
    void loginComplete() override;

    void onDataArrived();
    void onReply(const NntpReply &reply);
    void onConnectionLost(const QString &description);
    void requestGroupList();
    bool appendToListFile(const QByteArray &bytes, const char *routine);
    void writeGroupPacket(const QByteArray &bytes);
    void saveGroupPacket(const QByteArray &bytes);
    void setSearchControls(bool enabled);
    void setControls(const GroupManagerControls &controls);
    void onSearchEnded(const QString &statusText);

    Context &m_ctx;
    Login &m_login;
    FavouritesModel &m_favourites;
    NntpConnection m_listConnection{ConnectionRole::GroupList};
    GroupResultsModel m_results;
    GroupSearch m_search;
    GroupManagerControls m_controls;
    QString m_status[2];
    SearchMode m_mode = SearchMode::Contains;
    QByteArray m_groupListBuffer;
    qint64 m_groupBytesReceived = 0;
    bool m_listStarted = false; // the first bytes of this download's answer went to the file
};

} // namespace kestrel
