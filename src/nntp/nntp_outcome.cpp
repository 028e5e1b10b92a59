#include "nntp/nntp_outcome.h"

namespace kestrel {

NntpOutcome nntpOutcome(int code)
{
    switch (code) {
    case 400: // service not available or discontinued: the server closes
        return NntpOutcome::ConnectError;
    case 401: // wrong mode: change state (MODE READER) and ask again
    case 403: // internal fault
    case 412: // no group selected: select it again
    case 436: // transfer not possible, try again later
        return NntpOutcome::Retry;
    case 411: // no such group
    case 420: // no current article
    case 421: // no next article
    case 422: // no previous article
    case 423: // no article with that number, or none in the range
    case 430: // no article with that message-id
    case 435: // article not wanted
    case 437: // article rejected
        return NntpOutcome::NotFound;
    case 480: // authentication required
        return NntpOutcome::AuthRequired;
    case 481: // authentication failed
    case 482: // authentication commands out of sequence
    case 483: // encryption required first
    case 440: // posting not permitted
    case 441: // posting failed
        return NntpOutcome::Fatal;
    default:
        break;
    }
    if (code < 100 || code > 599)
        return NntpOutcome::Fatal;
    switch (code / 100) {
    case 1:
    case 2:
    case 3:
        return NntpOutcome::Ok;
    case 4:
        return NntpOutcome::Retry;
    default:
        return NntpOutcome::Fatal;
    }
}

const char *nntpOutcomeName(NntpOutcome outcome)
{
    switch (outcome) {
    case NntpOutcome::Ok:
        return "ok";
    case NntpOutcome::NotFound:
        return "not found";
    case NntpOutcome::AuthRequired:
        return "auth required";
    case NntpOutcome::ConnectError:
        return "connect error";
    case NntpOutcome::Retry:
        return "retry";
    case NntpOutcome::Fatal:
        return "fatal";
    }
    return "?";
}

} // namespace kestrel
