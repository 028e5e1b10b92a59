#include "news_server.h"

#include "news_session.h"
#include "tls_listener.h"

#include <QTcpSocket>

namespace kestrel::newsd {

namespace {

// Counts a fault down; false when it is used up.
bool use(int &times)
{
    if (times == 0)
        return false;
    if (times > 0)
        --times;
    return true;
}

} // namespace

NewsServer::NewsServer(std::shared_ptr<ArticleStore> store, QObject *parent)
    : QObject(parent), m_server(new TlsListener(this)), m_store(std::move(store))
{
    connect(m_server, &QTcpServer::newConnection, this, &NewsServer::accept);
    connect(m_server, &TlsListener::handshakeFailed, this, &NewsServer::handshakeFailed);
}

NewsServer::~NewsServer() = default;

void NewsServer::setTls(const QSslCertificate &certificate, const QSslKey &key)
{
    m_server->setTls(certificate, key);
}

bool NewsServer::tlsEnabled() const
{
    return m_server->tlsEnabled();
}

int NewsServer::failedHandshakes() const
{
    return m_server->failedHandshakes();
}

bool NewsServer::listen(quint16 port, const QHostAddress &address)
{
    return m_server->listen(address, port);
}

quint16 NewsServer::port() const
{
    return m_server->serverPort();
}

void NewsServer::close()
{
    m_server->close();
}

void NewsServer::dropConnections()
{
    const QList<NewsSession *> sessions = m_sessions;
    for (NewsSession *session : sessions)
        session->closeNow();
}

void NewsServer::setCredentials(const QByteArray &user, const QByteArray &password, bool required)
{
    m_user = user;
    m_password = password;
    m_anyLogin = false;
    m_authRequired = required;
}

bool NewsServer::credentialsMatch(const QByteArray &user, const QByteArray &password) const
{
    return m_anyLogin || (user == m_user && password == m_password);
}

void NewsServer::setNumberShift(const QByteArray &group, qint64 shift)
{
    m_shifts.insert(group, shift);
}

qint64 NewsServer::numberShift(QByteArrayView group) const
{
    return m_shifts.value(group.toByteArray(), 0);
}

QByteArrayList NewsServer::commands() const
{
    QByteArrayList out;
    for (const TranscriptEntry &e : m_transcript)
        out.append(e.line);
    return out;
}

int NewsServer::openConnections() const
{
    return int(m_sessions.size());
}

void NewsServer::record(int connection, const QByteArray &line)
{
    m_transcript.append({connection, line});
    emit commandReceived(connection, line);
}

std::optional<ForcedReply> NewsServer::takeForcedReply(const QByteArray &verb, const QList<QByteArray> &args)
{
    const QByteArray line = (QByteArrayList{verb} + args).join(' ');
    for (ForcedReply &f : m_faults.forcedReplies) {
        const qsizetype blank = f.command.indexOf(' ');
        const bool matches = blank < 0 ? f.command.compare(verb, Qt::CaseInsensitive) == 0
                                       : f.command.left(blank).toUpper() + f.command.mid(blank) == line;
        if (matches && use(f.times))
            return f;
    }
    return std::nullopt;
}

std::optional<int> NewsServer::takeSilence(QByteArrayView verb)
{
    for (Silence &s : m_faults.silences) {
        if (s.command.compare(verb, Qt::CaseInsensitive) == 0 && use(s.times))
            return s.msecs;
    }
    return std::nullopt;
}

qint64 NewsServer::takeDropPoint(qint64 replySize)
{
    if (m_faults.dropArticleAfterBytes < 0 || !use(m_faults.dropTimes))
        return -1;
    return m_faults.dropArticleAfterBytes < replySize ? m_faults.dropArticleAfterBytes : replySize / 2;
}

void NewsServer::accept()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection()) {
        const bool overLimit = m_faults.connectionLimit > 0 && openConnections() >= m_faults.connectionLimit;
        auto *session = new NewsSession(socket, this, ++m_accepted, overLimit);
        m_sessions.append(session);
        connect(session, &NewsSession::finished, this, [this](NewsSession *s) {
            m_sessions.removeOne(s);
            emit connectionClosed(s->id());
            s->deleteLater();
        });
        emit connectionOpened(session->id());
        session->start();
    }
}

} // namespace kestrel::newsd
