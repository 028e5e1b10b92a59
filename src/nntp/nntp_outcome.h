#pragma once

namespace kestrel {

// What a reply code means for the session that got it.
enum class NntpOutcome {
    Ok,           // the command did what was asked (or the exchange may go on, 1xx/3xx)
    NotFound,     // the group or article is not there; go on with the next one
    AuthRequired, // the server wants AUTHINFO before it answers
    ConnectError, // the service is gone or not available now; reconnect later
    Retry,        // a passing fault on the server's side, or a state to set up again
    Fatal,        // refused for good, or not understood; repeating will not help
};

// Every code of RFC 3977 and RFC 4643 by its own meaning; codes nobody defined by
// their first digit, as RFC 3977 3.2 tells clients to do. Anything outside 100..599
// (a status line that was not one) is Fatal.
NntpOutcome nntpOutcome(int code);

const char *nntpOutcomeName(NntpOutcome outcome);

} // namespace kestrel
