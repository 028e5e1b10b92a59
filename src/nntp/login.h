#pragma once

#include "nntp/connection_role.h"

#include <QByteArray>

#include <array>

namespace kestrel {

class Context;
struct NntpReply;

// What the login needs of one connection: a way to send a line, what to do when the
// user has not given the name or password the server asks for, and the session's own
// work once the server lets it in.
class LoginPort {
public:
    virtual ~LoginPort() = default;
    virtual void sendLoginLine(const QByteArray &line) = 0;
    virtual void userNameMissing() = 0;
    virtual void passwordMissing() = 0;
    // Logged in (or no login needed) and no slave status asked for.
    virtual void loginComplete() = 0;
};

// The login exchange of every connection: after the greeting, AUTHINFO USER / PASS
// when chkAuth asks for it or the server does (480), then SLAVE when chkSlave asks for
// it. The scan, download and group-list connections each log in through their port.
class Login {
public:
    explicit Login(Context &ctx) : m_ctx(ctx) {}

    // The connection of this role logs in through port; nullptr takes it away.
    void setPort(ConnectionRole role, LoginPort *port);

    // The server greeted (200, 201): the login starts, or the step after it.
    void greeted(ConnectionRole role);
    // Takes the replies of the login: 480 to any command, the answers to AUTHINFO that
    // lead on (381, 281) and every answer to SLAVE. False for any other reply, a refused
    // AUTHINFO among them, which the session ends in its own way.
    bool answer(ConnectionRole role, const NntpReply &reply);

    void sendAuthUser(ConnectionRole role);
    void sendAuthPass(ConnectionRole role);

private:
    LoginPort *port(ConnectionRole role) const;
    void loggedIn(ConnectionRole role);
    void slaveAnswered(ConnectionRole role, const NntpReply &reply);

    Context &m_ctx;
    std::array<LoginPort *, 3> m_ports{};
};

} // namespace kestrel
