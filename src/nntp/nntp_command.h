#pragma once

#include <QByteArrayView>

namespace kestrel {

// The command a reply answers, as far as a session's reaction depends on it.
enum class NntpCommand {
    None, // nothing was asked: the greeting, or a reply the server sent unprompted
    Group,
    ListGroup,
    Next,
    Head,
    Stat,
    Xover,
    Article, // ARTICLE and BODY
    AuthInfo,
    Slave,
    ModeReader,
    Quit,
    Other,
};

// The command of a command line by its verb (any case).
NntpCommand nntpCommandOf(QByteArrayView commandLine);

} // namespace kestrel
