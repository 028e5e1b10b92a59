#pragma once

#include <QByteArray>

#include <array>

namespace kestrel {

class Context;

// What the login needs of one connection: a way to send a line and what to do when
// the user has not given the name or password the server asks for.
class LoginPort {
public:
    virtual ~LoginPort() = default;
    virtual void sendLoginLine(const QByteArray &line) = 0;
    virtual void userNameMissing() = 0;
    virtual void passwordMissing() = 0;
};

// AUTHINFO USER / PASS on connection 1 (scan), 2 (download) or 3 (group list).
class Login {
public:
    explicit Login(Context &ctx) : m_ctx(ctx) {}

    // Connection n (1..3) logs in through port; nullptr takes it away.
    void setPort(int n, LoginPort *port);

    void sendAuthUser(int n);
    void sendAuthPass(int n);

private:
    LoginPort *port(int n) const;

    Context &m_ctx;
    std::array<LoginPort *, 3> m_ports{};
};

} // namespace kestrel
