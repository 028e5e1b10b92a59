#include "nntp/login.h"

#include "base/context.h"

namespace kestrel {

void Login::setPort(int n, LoginPort *port)
{
    if (n >= 1 && n <= 3)
        m_ports[size_t(n - 1)] = port;
}

LoginPort *Login::port(int n) const
{
    return n >= 1 && n <= 3 ? m_ports[size_t(n - 1)] : nullptr;
}

void Login::sendAuthUser(int n)
{
    LoginPort *p = port(n);
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

void Login::sendAuthPass(int n)
{
    LoginPort *p = port(n);
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
