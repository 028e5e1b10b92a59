#pragma once

#include <QByteArray>
#include <QList>

#include <utility>

namespace kestrel::newsd {

// Answer `code` (with its usual text) instead of carrying out `command`, the next `times`
// times it arrives on any connection; times < 0: always. `command` is a verb ("ARTICLE":
// any ARTICLE command) or a verb with its arguments ("ARTICLE 5": only that one); the
// verb in any case, arguments separated by single blanks.
// `text` replaces the code's usual text when it is not empty.
struct ForcedReply {
    ForcedReply() = default;
    ForcedReply(QByteArray command_, int code_, int times_ = -1, QByteArray text_ = {})
        : command(std::move(command_)), code(code_), times(times_), text(std::move(text_))
    {
    }

    QByteArray command;
    int code = 502;
    int times = -1;
    QByteArray text;
};

// Say nothing for `msecs` before answering `command` (empty: before the greeting);
// msecs < 0: never answer. Counts down like ForcedReply::times.
struct Silence {
    QByteArray command;
    int msecs = 0;
    int times = 1;
};

// Ways for the server to misbehave; all off by default.
struct FaultPlan {
    int greetingCode = 200; // 400 and 502 greetings are followed by closing the connection

    // The answer to XOVER/OVER for a range without articles: 423 as RFC 3977 has it, or
    // 420 ("no article(s) selected") as servers following RFC 2980 give it.
    int emptyRangeCode = 423;

    // Every reply is cut at these byte offsets (counted from the reply's first byte) and
    // the pieces are written as separate segments, splitPauseMs apart.
    QList<qsizetype> splitAt;
    // Besides: this many cuts at random offsets of every written piece (seeded, so a run
    // can be repeated; each connection adds its number to the seed).
    int randomSplits = 0;
    quint32 splitSeed = 1;
    int splitPauseMs = 5;

    // Replies are held back until this many are ready (or coalesceWaitMs pass) and then
    // written in one segment. Above 1 it overrides the splitting.
    int repliesPerSegment = 1;
    int coalesceWaitMs = 200;

    // Every reply to this verb is written trickleBytes at a time, tricklePauseMs apart
    // (a server that is never silent but never gets anywhere); empty: off.
    QByteArray trickleCommand;
    int trickleBytes = 1;
    int tricklePauseMs = 1000;

    // Every XOVER/OVER answer lists this many lines, numbered on from the range's start
    // and past its end (a hostile server); 0: off.
    qint64 overviewFlood = 0;

    QList<Silence> silences;
    QList<ForcedReply> forcedReplies;

    // An ARTICLE or BODY reply is cut after this many bytes (half the reply when this is
    // not below the reply's size) and the connection closed, the next dropTimes times;
    // -1: off.
    qint64 dropArticleAfterBytes = -1;
    int dropTimes = 1;

    // Each command is carried out (and so answered) this long after it arrived, as over
    // a link with this round-trip time: the commands a client sends without waiting are
    // all on their way at once, and so are their replies. The greeting is not delayed.
    int latencyMs = 0;

    // Connections beyond this many open at once are greeted with 502 and closed, as
    // providers limit the connections of an account; 0: no limit.
    int connectionLimit = 0;
};

} // namespace kestrel::newsd
