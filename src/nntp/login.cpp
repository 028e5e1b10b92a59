#include "nntp/login.h"

#include "nntp/reply_reaction.h"
#include "nntp/reply_reader.h"

#include "base/context.h"
#include "base/number_text.h"

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

bool Login::answer(ConnectionRole role, const NntpReply &reply)
{
    switch (replyReaction(reply.command, reply.code, reply.statusLine())) {
    case ReplyReaction::AuthRequired:
        sendAuthUser(role);
        return true;
    case ReplyReaction::SendPassword:
        sendAuthPass(role);
        return true;
    case ReplyReaction::Success:
        if (reply.command == NntpCommand::AuthInfo) {
            m_ctx.writeLog(QStringLiteral("Authinfo cleared, login complete..."), true);
            loggedIn(role);
            return true;
        }
        if (reply.command == NntpCommand::Slave) {
            slaveAnswered(role, reply);
            return true;
        }
        return false;
    case ReplyReaction::SlaveRefused:
        // Slave status only tells the server how to treat the client (RFC 2980 2.4);
        // without it the session works the same.
        slaveAnswered(role, reply);
        return true;
    default:
        return false;
    }
}

void Login::slaveAnswered(ConnectionRole role, const NntpReply &reply)
{
    m_ctx.writeLog(displayText(reply.raw), true);
    if (LoginPort *p = port(role))
        p->loginComplete();
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
