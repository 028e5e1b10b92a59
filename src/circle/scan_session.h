#pragma once

#include "circle/scan_state.h"
#include "nntp/login.h"
#include "nntp/reply_reaction.h"
#include "nntp/reply_reader.h"

#include <QByteArray>
#include <QString>

#include <deque>

namespace kestrel {

class Connections;
class Context;
class FavouritesModel;
class FilterCounters;
class HeaderFilter;
class ScanEvents;
class SessionConnection;
struct NntpReply;
struct SessionState;

// What is said on the scan connection: the greeting and login rows, GROUP answers,
// HEAD mode (the article numbers listed with LISTGROUP and several HEAD requests on
// their way, or NEXT and HEAD one header per round trip on a server that does not list
// them) and XOVER mode (ranges of overview lines, taken line by line as they arrive,
// the next range asked for while the one before is filtered),
// the last-read bookkeeping in the favourites and the hand-over of every header block
// to the filter.
class ScanSession : public LoginPort {
public:
    ScanSession(Context &ctx, SessionState &state, Connections &connections, Login &login,
                FavouritesModel &favourites, HeaderFilter &filter, FilterCounters &counters,
                ScanEvents &events);

    // Connected to the scan connection's data arrival.
    void onData();
    // A new scan connection: forget what the last one left.
    void resetForConnect();
    // The scan driver selects the next group.
    void groupSelected(const QByteArray &group, bool resumeFromLastRead);
    // GROUP for the selected group; the group is under way until its answers end it.
    void sendGroup();
    // The connection under the group closed: the group is over.
    void failGroup() { m_groupState = ScanState::GroupFailed; }
    bool groupOver() const { return m_groupState <= ScanState::GroupDone; }

    void updateGroupRow(const QByteArray &group, const QByteArray &firstText, const QByteArray &lastText);
    void scanProgress(const QByteArray &group, QByteArrayView number, bool force, bool display = true);

    // LoginPort
    void sendLoginLine(const QByteArray &line) override;
    void userNameMissing() override;
    void passwordMissing() override;
    void loginComplete() override;

    const QByteArray &currentGroup() const { return m_currentGroup; }
    const QByteArray &xoverRangeStart() const { return m_xoverRangeStart; }
    qint32 groupNewCount() const { return m_groupNewCount; }
    qint32 groupHeadersThisScan() const { return m_groupHeadersThisScan; }

private:
    void onReply(const NntpReply &reply);
    void onGoodbye(const NntpReply &reply);
    void onSuccess(const NntpReply &reply);
    void onRefusal(ReplyReaction reaction, const NntpReply &reply);
    void loginRefused(const NntpReply &reply);
    void skipGroup(const QString &line);
    void askForModeReader(const NntpReply &reply);
    void reselectGroup();
    void onXoverLine(QByteArrayView line);
    void onXoverBlockEnd();
    void onXoverEnd(bool emptyRange = false);
    // The range being read is the one asked for first; its bookkeeping starts afresh.
    void beginXoverRange(const QByteArray &from, const QByteArray &to);
    void requestXoverRange(const QByteArray &from, const QByteArray &to);
    void askNextRangeEarly();
    bool nextRangeCertain() const;
    void continueXover();
    // Replies of ranges from `keep` on are read and dropped when they come.
    void abandonXoverRanges(size_t keep = 0);
    bool dropStaleXoverReply(const NntpReply &reply);
    // The line's article number, when it is one the range asked for may hold next.
    bool xoverLineWanted(QByteArrayView line);
    void xoverListFull();
    void fallBackToHeadMode();
    void onHeadComplete(const NntpReply &reply);
    void onNextAnswered(const NntpReply &reply);
    void onNoSuchArticle();
    void stepPastLastRead();
    void feedHeader(const NntpReply &reply, qint64 number);
    // HEAD mode by article number (scan_head_window.cpp).
    void startHeadMode(bool firstTime);
    void startByStepping(bool firstTime);
    bool takeWindowReply(const NntpReply &reply);
    void onWindowRefusal(bool page, ReplyReaction reaction);
    void fillHeadWindow();
    bool mayRequestHeader() const;
    void requestWindowHead(qint64 number);
    void sendListPage();
    void onListPage(const NntpReply &reply);
    void onListGroupRefused();
    void endHeadWindow();
    void abandonWindow();
    void onGroupAnswered(const NntpReply &reply);
    void onGreeting(const NntpReply &reply);
    void startScan();
    void parseGroupReply(QByteArrayView line);
    void sendNext();
    bool headerLimitsReached();
    void requestFirstHead();
    void requestHead(const QByteArray &line);
    void sendXover();
    // Every command of the scan goes out here, so that a refusal can name its verb.
    void sendCommand(const QByteArray &line,
                     ReplyReader::Delivery delivery = ReplyReader::Delivery::WholeBlock);
    void takeHeader(const QByteArray &block, const QByteArray &number, qint64 value);
    void logReply(const NntpReply &reply, const QString &suffix = QString());
    bool displayDue();

    Context &m_ctx;
    SessionState &m_state;
    Connections &m_connections;
    SessionConnection &m_connection;
    Login &m_login;
    FavouritesModel &m_favourites;
    HeaderFilter &m_filter;
    FilterCounters &m_counters;
    ScanEvents &m_events;
    ScanState m_groupState = ScanState::GroupDone;
    qint32 m_headState = 0; // 1 NEXT sent, 2 HEAD sent, 3 header taken
    bool m_resumeFromLastRead = false;
    QByteArray m_currentGroup;
    qint64 m_groupFirst = 0;
    qint64 m_groupLast = 0;
    QByteArray m_groupFirstText;
    QByteArray m_groupLastText;
    qint64 m_groupCount = 0;
    qint32 m_groupNewCount = 0;
    bool m_groupProgressEnabled = false;
    qint32 m_groupHeadersThisScan = 0;
    qint64 m_headArticleNumber = 0;
    // HEAD mode resuming at the last-read article: the HEAD of that article is out.
    bool m_resumeHeadOut = false;
    // Stepping with NEXT past articles read before: NEXT is answered with numbers up to
    // here without a HEAD. -1: every article NEXT finds is read.
    qint64 m_skipThrough = -1;
    // HEAD mode by number. Requests on their way, oldest first: replies come in the
    // order the requests went, so each reply answers the front one. A request left
    // behind by a group that ended (or a refusal that stopped the window) stays here,
    // stale, until its reply has come and been dropped.
    struct HeadRequest {
        qint64 number; // 0: a LISTGROUP page
        bool stale;
    };
    std::deque<HeadRequest> m_window;
    std::deque<qint64> m_listed;     // numbers listed and not yet asked for, ascending
    bool m_windowMode = false;       // the current group is read by number
    bool m_listGroupRefused = false; // on this connection: stepping with NEXT instead
    int m_windowHeads = 0;           // HEAD requests of the window on their way
    bool m_pageOut = false;          // a LISTGROUP page of the window on its way
    qint64 m_windowRequests = 0;     // HEAD requests sent for the current group
    qint64 m_windowReread = -1;      // the last-read article asked for again, not counted
    qint64 m_pageEnd = 0;            // last number of the last page asked for
    qint64 m_pageSize = 0;
    bool m_modeReaderSent = false; // on this connection
    QByteArray m_lastVerb;         // of the last command sent
    // Highest article number of the group already read: the last-read number of a
    // group read before, then each header taken. The first request of a group and
    // each further XOVER range start at it, so that header comes again; it is
    // filtered but not counted as new. -1: nothing read yet.
    qint64 m_rereadNumber = -1;
    QByteArray m_xoverRangeStart;
    QByteArray m_xoverRangeEnd;
    // XOVER ranges on their way, oldest first: the front one is the range being read, a
    // second one was asked for when the front one's answer began. A range asked for by
    // a group that has ended since stays here, stale, until its answer has been dropped.
    struct XoverRequest {
        QByteArray from;
        QByteArray to;
        bool stale;
    };
    std::deque<XoverRequest> m_xoverWay;
    bool m_xoverAheadDue = false; // the next range waits for the lines to make it certain
    qint64 m_xoverBytes = 0;
    // The range asked for: lines outside it, or not after the last one taken, are a
    // server's fault and are not taken.
    qint64 m_xoverFrom = 0;
    qint64 m_xoverTo = 0;
    qint64 m_xoverLastTaken = 0;
    qint64 m_xoverIgnored = 0;
    // The pending list filled up while the reply arrived: the rest is not queued.
    bool m_xoverFull = false;
    int m_favRow = -1; // the current group's row, checked before use
    qint64 m_lastDisplayMs = -1;
    QByteArray m_block; // reused for every overview line
};

} // namespace kestrel
