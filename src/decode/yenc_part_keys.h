#pragma once

#include <QtGlobal>

#include <optional>
#include <string_view>

namespace kestrel {

// What the header, part and trailer lines of one yEnc article say about where its data
// belongs in the whole file. A key that is missing or not a number stays empty.
struct YencPartKeys {
    std::optional<qint64> part;     // =ybegin part=
    std::optional<qint64> total;    // =ybegin total=
    std::optional<qint64> size;     // =ybegin size=, of the whole file
    std::optional<qint64> begin;    // =ypart begin=, 1-based
    std::optional<qint64> end;      // =ypart end=, 1-based, inclusive
    std::optional<qint64> partSize; // =yend size=, of this part
    std::optional<quint32> crc32;   // =yend crc32=, of the whole file
};

// The keys of the article's "=ybegin " line (looked for where the decoder looks for
// it), the "=ypart" line that follows it and the last "=yend" line. nullopt without an
// "=ybegin " line.
std::optional<YencPartKeys> readYencPartKeys(std::string_view text);

} // namespace kestrel
