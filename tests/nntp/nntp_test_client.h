#pragma once

#include "nntp/reply_reader.h"

#include <QByteArrayList>
#include <QTcpSocket>

#include <optional>

namespace kestrel::test {

// A plain client for tests against a news server on 127.0.0.1: every arrival is kept
// as it came (to see how the server cut its output) and fed to a ReplyReader.
class NntpTestClient {
public:
    explicit NntpTestClient(quint16 port);

    // The next complete reply, or nothing when none came within ms.
    std::optional<NntpReply> read(int ms = 3000);
    // Sends the line with CR LF and tells the reader what it answers.
    void send(const QByteArray &line);
    std::optional<NntpReply> command(const QByteArray &line, int ms = 3000);
    // Status line of the reply to `line`, or "(none)".
    QByteArray status(const QByteArray &line);

    bool waitForClose(int ms = 3000);
    QByteArray received() const { return chunks.join(); }

    QTcpSocket socket;
    ReplyReader reader;
    QByteArrayList chunks; // the data of each arrival, in order
};

} // namespace kestrel::test
