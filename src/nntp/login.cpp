#include "nntp/login.h"

#include "nntp/nntp_outcome.h"

#include "base/context.h"

namespace kestrel {

void Login::setPort(ConnectionRole role, LoginPort *port)
{
    m_ports[size_t(role)] = port;
}

LoginPort *Login::port(ConnectionRole role) const
{
    return m_ports[size_t(role)];
}

void Login::greeted(ConnectionRole role)
{
    if (m_ctx.settings.checked(u"chkAuth"))
        sendAuthUser(role);
    else
        loggedIn(role);
}

bool Login::answer(ConnectionRole role, int code)
{
    if (nntpOutcome(code) == NntpOutcome::AuthRequired) {
        sendAuthUser(role);
        return true;
    }
    switch (code) {
    case 381: // password required
        sendAuthPass(role);
        return true;
    case 281: // authentication accepted
        m_ctx.writeLog(QStringLiteral("Authinfo cleared, login complete..."), true);
        loggedIn(role);
        return true;
    default:
        return false;
    }
}

void Login::loggedIn(ConnectionRole role)
{
    LoginPort *p = port(role);
    if (!p)
        return;
    if (m_ctx.settings.checked(u"chkSlave")) {
        m_ctx.writeLog(QStringLiteral("Requesting slave status"), true);
        p->sendLoginLine("SLAVE");
        return;
    }
    p->loginComplete();
}

void Login::sendAuthUser(ConnectionRole role)
{
    LoginPort *p = port(role);
    if (!p)
        return;
    m_ctx.writeLog(QStringLiteral("Authenticating User Name..."), true);
    const QString user = m_ctx.settings.text(u"txtUserName");
    if (!user.isEmpty()) {
        p->sendLoginLine("AUTHINFO USER " + user.toUtf8());
        return;
    }
    const QString text = QStringLiteral("Error, server wanted username, but you have not supplied it.");
    m_ctx.prompter.message(text);
    m_ctx.writeLog(text, true);
    p->userNameMissing();
}

void Login::sendAuthPass(ConnectionRole role)
{
    LoginPort *p = port(role);
    if (!p)
        return;
    m_ctx.writeLog(QStringLiteral("Authenticating Password..."), true);
    const QString password = m_ctx.settings.text(u"txtPassword");
    if (!password.isEmpty()) {
        p->sendLoginLine("AUTHINFO PASS " + password.toUtf8());
        return;
    }
    m_ctx.prompter.message(QStringLiteral("Error, server wanted password, but you have not supplied it."));
    p->passwordMissing();
}

} // namespace kestrel
