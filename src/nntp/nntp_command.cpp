#include "nntp/nntp_command.h"

#include <QByteArray>

namespace kestrel {

NntpCommand nntpCommandOf(QByteArrayView commandLine)
{
    const qsizetype blank = commandLine.indexOf(' ');
    const QByteArray verb =
        (blank < 0 ? commandLine : commandLine.first(blank)).trimmed().toByteArray().toUpper();
    struct Entry {
        const char *verb;
        NntpCommand command;
    };
    static const Entry table[] = {
        {"GROUP", NntpCommand::Group},  {"LISTGROUP", NntpCommand::ListGroup},
        {"NEXT", NntpCommand::Next},    {"HEAD", NntpCommand::Head},
        {"STAT", NntpCommand::Stat},    {"XOVER", NntpCommand::Xover},
        {"OVER", NntpCommand::Xover},   {"ARTICLE", NntpCommand::Article},
        {"BODY", NntpCommand::Article}, {"AUTHINFO", NntpCommand::AuthInfo},
        {"SLAVE", NntpCommand::Slave},  {"MODE", NntpCommand::ModeReader},
        {"QUIT", NntpCommand::Quit},
    };
    for (const Entry &e : table) {
        if (verb == e.verb)
            return e.command;
    }
    return NntpCommand::Other;
}

} // namespace kestrel
