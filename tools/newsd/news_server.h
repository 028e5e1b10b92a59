#pragma once

#include "article_store.h"
#include "fault_plan.h"

#include <QByteArrayList>
#include <QHash>
#include <QHostAddress>
#include <QObject>

#include <memory>

class QSslCertificate;
class QSslKey;

namespace kestrel::newsd {

class NewsSession;
class TlsListener;

struct TranscriptEntry {
    int connection = 0; // 1 for the first accepted connection, and so on
    QByteArray line;    // the command line as received, without its line end
};

// A small NNTP server for tests, benchmarks and the demo. It answers MODE READER, GROUP, LISTGROUP,
// NEXT, HEAD, XOVER/OVER, ARTICLE, BODY, LIST (ACTIVE, NEWSGROUPS), AUTHINFO USER/PASS,
// SLAVE and QUIT from an ArticleStore, on as many connections as come, all in the
// thread that owns it. A FaultPlan makes it misbehave on purpose.
class NewsServer : public QObject {
    Q_OBJECT
public:
    explicit NewsServer(std::shared_ptr<ArticleStore> store, QObject *parent = nullptr);
    ~NewsServer() override;

    // Serve NNTPS with this certificate on connections accepted from now on: every
    // client shakes hands before it gets the greeting.
    void setTls(const QSslCertificate &certificate, const QSslKey &key);
    bool tlsEnabled() const;
    int failedHandshakes() const;

    // Port 0 takes any free port; port() tells which.
    bool listen(quint16 port = 0, const QHostAddress &address = QHostAddress::LocalHost);
    quint16 port() const;
    void close();           // stop listening; open connections stay
    void dropConnections(); // close every open connection at once

    ArticleStore &store() const { return *m_store; }
    void setStore(std::shared_ptr<ArticleStore> store) { m_store = std::move(store); }

    // Read at every command, so changes take effect on open connections too.
    FaultPlan &faults() { return m_faults; }
    void setFaults(const FaultPlan &faults) { m_faults = faults; }

    // With required set, every command but AUTHINFO, MODE and QUIT is answered 480 until
    // the login succeeded. Without credentials any user name and password are accepted.
    void setCredentials(const QByteArray &user, const QByteArray &password, bool required = true);
    bool authRequired() const { return m_authRequired; }
    bool credentialsMatch(const QByteArray &user, const QByteArray &password) const;

    // The group's articles are shown shifted by `shift` (negative: a renumbered group
    // whose numbers start lower than before).
    void setNumberShift(const QByteArray &group, qint64 shift);
    qint64 numberShift(QByteArrayView group) const;

    QList<TranscriptEntry> transcript() const { return m_transcript; }
    QByteArrayList commands() const; // the lines of the transcript, all connections
    void clearTranscript() { m_transcript.clear(); }
    int connectionsAccepted() const { return m_accepted; }
    int openConnections() const;

    // Used by the sessions.
    void record(int connection, const QByteArray &line);
    std::optional<ForcedReply> takeForcedReply(const QByteArray &verb, const QList<QByteArray> &args);
    std::optional<int> takeSilence(QByteArrayView verb); // verb empty: before the greeting
    qint64 takeDropPoint(qint64 replySize);              // -1: no drop

signals:
    void commandReceived(int connection, const QByteArray &line);
    void connectionOpened(int connection);
    void connectionClosed(int connection);
    void handshakeFailed(const QString &reason);

private:
    void accept();

    TlsListener *m_server;
    std::shared_ptr<ArticleStore> m_store;
    FaultPlan m_faults;
    QByteArray m_user, m_password;
    bool m_authRequired = false;
    bool m_anyLogin = true;
    QHash<QByteArray, qint64> m_shifts;
    QList<TranscriptEntry> m_transcript;
    QList<NewsSession *> m_sessions;
    int m_accepted = 0;
};

} // namespace kestrel::newsd
