#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QRandomGenerator>
#include <QTimer>

#include <deque>
#include <optional>

class QTcpSocket;

namespace kestrel::newsd {

class NewsServer;

// One client connection of the NewsServer: reads command lines, answers them one at a
// time (a long overview listing is written as the socket drains, and later commands
// wait for it), and shapes what it writes by the server's FaultPlan.
class NewsSession : public QObject {
    Q_OBJECT
public:
    // overLimit: one connection too many; it is greeted with a refusal and closed.
    NewsSession(QTcpSocket *socket, NewsServer *server, int id, bool overLimit = false);

    void start();
    int id() const { return m_id; }
    void closeNow();

signals:
    void finished(kestrel::newsd::NewsSession *session);

private:
    struct OverviewJob {
        QByteArray group;
        qint64 next;          // stored number of the next article to list
        qint64 last;          // stored number of the range's end
        qint64 offset;        // bytes of the reply written so far
        qint64 floodLeft = 0; // lines still to list of a flood
    };

    struct CommandLine {
        QByteArray line;
        qint64 dueMs; // when the line may be carried out, on m_clock
    };

    void sendGreeting();
    void onReadyRead();
    void processCommands();
    void handle(const QByteArray &line);
    void dispatch(const QByteArray &verb, const QList<QByteArray> &args);

    void cmdGroup(const QList<QByteArray> &args);
    void cmdNext();
    void cmdArticle(const QByteArray &verb, const QList<QByteArray> &args);
    void cmdOver(const QList<QByteArray> &args);
    void cmdListGroup(const QList<QByteArray> &args);
    // A range argument ("N", "N-", "N-M") as stored numbers; replies 501 and returns
    // nothing when it is not one.
    std::optional<std::pair<qint64, qint64>> rangeArgument(const QByteArray &range);
    void cmdList(const QList<QByteArray> &args);
    void cmdAuthinfo(const QList<QByteArray> &args);

    // The stored number an argument (or the current article) names; replies itself and
    // returns nothing when there is none.
    std::optional<qint64> articleArgument(const QList<QByteArray> &args);
    qint64 shown(qint64 stored) const;
    QByteArray messageIdOf(qint64 stored) const;

    void reply(int code, const QByteArray &text);
    void replyWithBlock(const QByteArray &statusLine, QByteArrayView block);
    void writePart(const QByteArray &bytes, qint64 offset, bool lastOfReply);
    void writePaced(const QByteArray &bytes, qint64 offset);
    void writeTrickled(const QByteArray &bytes);
    void writeNextPaced();
    void flushHeld();
    void pumpOverview();
    // The next piece of a flood; true when it was the last.
    bool overviewChunk(QByteArray &chunk);
    bool floodChunk(QByteArray &chunk);
    qint64 backlog() const;
    void closeAfterWriting();
    void closeIfDrained();

    QTcpSocket *m_socket;
    NewsServer *m_server;
    int m_id;
    QByteArray m_input;              // bytes of a command line whose end has not come
    std::deque<CommandLine> m_lines; // complete lines not yet carried out, oldest first
    QElapsedTimer m_clock;
    QTimer m_latencyTimer;
    bool m_overLimit = false;
    bool m_holding = true; // commands wait: greeting not sent, silence, or a reply is being produced
    bool m_closing = false;
    bool m_trickle = false; // the reply being written trickles

    QByteArray m_group;
    qint64 m_current = -1;
    bool m_authenticated = false;
    std::optional<QByteArray> m_pendingUser;

    std::optional<OverviewJob> m_overview;

    QByteArray m_held;
    int m_heldReplies = 0;
    QTimer m_coalesceTimer;
    std::deque<QByteArray> m_paced;
    qint64 m_pacedBytes = 0;
    QTimer m_paceTimer;
    QRandomGenerator m_random;
};

// Dot-stuffs CR LF text: every line that begins with "." gets a second one.
QByteArray dotStuffed(QByteArrayView text);

} // namespace kestrel::newsd
