#pragma once

#include "reply_reader.h"

#include <QObject>
#include <QString>
#include <QTcpSocket>

namespace kestrel {

// One client connection to the news server: the socket, the reply framing and the
// state number of the status texts. Commands go out one line at a time, and each
// one tells the reader what shape of reply to wait for, so replies come out whole
// whatever the TCP segmentation.
class NntpConnection : public QObject {
    Q_OBJECT
public:
    explicit NntpConnection(int number, QObject *parent = nullptr);
    ~NntpConnection() override;

    int number() const { return m_number; }
    int state() const;
    bool isConnected() const { return state() == 7; }
    bool isClosed() const { return state() == 0; }

    // Starts an asynchronous connect with a fresh reader.
    void open(const QString &host, quint16 port);
    // Sends line + CR LF when connected; false (and nothing sent) otherwise.
    bool sendLine(const QByteArray &line, ReplyReader::Delivery delivery = ReplyReader::Delivery::WholeBlock);
    // Closes at once; buffered replies are forgotten and no close event follows.
    void close();

    // "QUIT" went out since the connection was opened.
    bool quitSent() const { return m_quitSent; }
    ReplyReader &reader() { return m_reader; }

Q_SIGNALS:
    // Bytes were fed to the reader; take the replies with reader().next().
    void dataArrived(qsizetype bytes);
    void socketError(const QString &description);
    // The server closed the connection (not after our own close()).
    void peerClosed();

private:
    void onReadyRead();
    void onError(QAbstractSocket::SocketError error);
    void onDisconnected();

    const int m_number;
    QTcpSocket m_socket;
    ReplyReader m_reader;
    bool m_closedByUs = true;
    bool m_quitSent = false;
};

} // namespace kestrel
