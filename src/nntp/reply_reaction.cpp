#include "nntp/reply_reaction.h"

#include <QByteArray>

namespace kestrel {

namespace {

using R = ReplyReaction;

struct Row {
    int code;
    ReplyReaction reaction;
};

struct CommandTable {
    NntpCommand command;
    std::initializer_list<Row> rows;
    ReplyReaction otherwise; // every code the rows do not name
};

// Per command, the codes RFC 3977 (and RFC 2980 for XOVER and SLAVE, RFC 4643 for
// AUTHINFO) gives it. 400, 480 and 401 mean the same after every command and are
// taken before these rows.
const CommandTable kTables[] = {
    {NntpCommand::None, {{200, R::Success}, {201, R::Success}}, R::ServiceRefused},
    {NntpCommand::Group, {{211, R::Success}, {411, R::NoSuchGroup}, {502, R::GroupDenied}}, R::GroupUnusable},
    {NntpCommand::ListGroup, {{211, R::Success}}, R::NoListGroup},
    {NntpCommand::Next, {{223, R::Success}, {420, R::EndOfGroup}, {421, R::EndOfGroup}}, R::GroupUnusable},
    {NntpCommand::Head,
     {{221, R::Success}, {420, R::EndOfGroup}, {423, R::NoSuchArticle}, {430, R::NoSuchArticle}},
     R::GroupUnusable},
    {NntpCommand::Stat,
     {{223, R::Success}, {420, R::EndOfGroup}, {423, R::NoSuchArticle}, {430, R::NoSuchArticle}},
     R::GroupUnusable},
    {NntpCommand::Xover,
     {{224, R::Success},
      {420, R::EmptyRange},
      {423, R::EmptyRange},
      {500, R::NoOverview},
      {501, R::NoOverview},
      {502, R::NoOverview}},
     R::GroupUnusable},
    {NntpCommand::Article,
     {{220, R::Success},
      {222, R::Success},
      {423, R::NoSuchArticle},
      {430, R::NoSuchArticle},
      {412, R::NoGroupSelected},
      {481, R::LoginRefused},
      {482, R::LoginRefused},
      {502, R::LoginRefused}},
     R::TryLater},
    {NntpCommand::AuthInfo, {{281, R::Success}, {381, R::SendPassword}}, R::LoginRefused},
    {NntpCommand::Slave, {{202, R::Success}}, R::SlaveRefused},
    {NntpCommand::ModeReader, {{200, R::Success}, {201, R::Success}}, R::GroupUnusable},
    {NntpCommand::Quit, {}, R::Success},
    {NntpCommand::Other, {}, R::GroupUnusable},
};

// Some servers answer a reading command with 500 or 502 and a text such as "MODE
// READER first" instead of the 401 RFC 3977 3.2.1 gives for a server in the wrong mode.
bool asksForModeReader(int code, QByteArrayView statusLine)
{
    return code == 401 || (code >= 400 && statusLine.toByteArray().toUpper().contains("MODE READER"));
}

bool mayChangeMode(NntpCommand command)
{
    switch (command) {
    case NntpCommand::None:
    case NntpCommand::AuthInfo:
    case NntpCommand::Slave: // only a hint: refused, the session goes on as it is
    case NntpCommand::ModeReader:
    case NntpCommand::Quit:
        return false;
    default:
        return true;
    }
}

} // namespace

ReplyReaction replyReaction(NntpCommand command, int code, QByteArrayView statusLine)
{
    if (code == 400) // RFC 3977 3.2.1: service discontinued, the server closes
        return R::ServiceClosing;
    if (code == 480 && command != NntpCommand::None && command != NntpCommand::AuthInfo)
        return R::AuthRequired;
    if (mayChangeMode(command) && asksForModeReader(code, statusLine))
        return R::ModeReader;
    for (const CommandTable &t : kTables) {
        if (t.command != command)
            continue;
        for (const Row &r : t.rows) {
            if (r.code == code)
                return r.reaction;
        }
        return t.otherwise;
    }
    return R::GroupUnusable;
}

const char *replyReactionName(ReplyReaction reaction)
{
    switch (reaction) {
    case R::Success:
        return "success";
    case R::AuthRequired:
        return "auth required";
    case R::SendPassword:
        return "send password";
    case R::LoginRefused:
        return "login refused";
    case R::ModeReader:
        return "mode reader";
    case R::ServiceClosing:
        return "service closing";
    case R::ServiceRefused:
        return "service refused";
    case R::NoSuchGroup:
        return "no such group";
    case R::GroupDenied:
        return "group denied";
    case R::GroupUnusable:
        return "group unusable";
    case R::EndOfGroup:
        return "end of group";
    case R::NoSuchArticle:
        return "no such article";
    case R::EmptyRange:
        return "empty range";
    case R::NoOverview:
        return "no overview";
    case R::NoListGroup:
        return "no listgroup";
    case R::TryLater:
        return "try later";
    case R::NoGroupSelected:
        return "no group selected";
    case R::SlaveRefused:
        return "slave refused";
    }
    return "?";
}

} // namespace kestrel
