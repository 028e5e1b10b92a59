#include "nntp_test_client.h"

#include "support/wait.h"

namespace kestrel::test {

NntpTestClient::NntpTestClient(quint16 port)
{
    QObject::connect(&socket, &QTcpSocket::readyRead, &socket, [this] {
        const QByteArray data = socket.readAll();
        chunks.append(data);
        reader.feed(data);
    });
    socket.connectToHost(QHostAddress::LocalHost, port);
}

std::optional<NntpReply> NntpTestClient::read(int ms)
{
    std::optional<NntpReply> got;
    waitUntil(
        [&] {
            if (!got && reader.next() == ReplyReader::Event::Reply)
                got = reader.takeReply();
            return got.has_value();
        },
        ms);
    return got;
}

void NntpTestClient::send(const QByteArray &line)
{
    reader.expectReplyTo(line);
    socket.write(line + "\r\n");
}

std::optional<NntpReply> NntpTestClient::command(const QByteArray &line, int ms)
{
    send(line);
    return read(ms);
}

QByteArray NntpTestClient::status(const QByteArray &line)
{
    const std::optional<NntpReply> r = command(line);
    return r ? r->statusLine().toByteArray() : QByteArray("(none)");
}

bool NntpTestClient::waitForClose(int ms)
{
    return waitUntil([this] { return socket.state() == QAbstractSocket::UnconnectedState; }, ms);
}

} // namespace kestrel::test
