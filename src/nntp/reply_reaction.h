#pragma once

#include "nntp/nntp_command.h"

#include <QByteArrayView>

namespace kestrel {

// What a session does with a reply to one of its commands.
enum class ReplyReaction {
    Success,         // the answer the command asked for; the session reads on
    AuthRequired,    // 480: AUTHINFO, after which the session starts again
    SendPassword,    // 381: AUTHINFO PASS
    LoginRefused,    // 481/482, or 502 to AUTHINFO: "Authentication Error"
    ModeReader,      // 401, or an answer asking for MODE READER: switch and ask once more
    ServiceClosing,  // 400: the server is going away; the emergency reconnect takes over
    ServiceRefused,  // a greeting that refuses service (502 and anything but 200/201/400)
    NoSuchGroup,     // 411
    GroupDenied,     // 502 to GROUP: no permission for this group
    GroupUnusable,   // any other failure while a group is read: the group is skipped for now
    EndOfGroup,      // no next or no current article: the group is read
    NoSuchArticle,   // 423/430 to a request for one article
    EmptyRange,      // 420/423 to an overview range: no article in it
    NoOverview,      // 500/501/502 to XOVER: the server has no overview for this client
    NoListGroup,     // LISTGROUP refused: step with NEXT instead
    TryLater,        // a refused article that may come another time
    NoGroupSelected, // 412 to ARTICLE/BODY: the selection is gone
    SlaveRefused,    // SLAVE not granted; it is only a hint, so the session goes on
};

// The reaction to `code` (with the status line's text, for servers that say "MODE READER"
// in a 5xx) as the answer to `command`. RFC 3977 3.2 and the sections of each command,
// RFC 4643 for AUTHINFO, RFC 2980 for XOVER and SLAVE.
ReplyReaction replyReaction(NntpCommand command, int code, QByteArrayView statusLine = {});

const char *replyReactionName(ReplyReaction reaction);

} // namespace kestrel
