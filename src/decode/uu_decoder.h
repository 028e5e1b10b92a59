#pragma once

#include "decode/codec_result.h"

#include <QByteArray>

#include <optional>
#include <string_view>

namespace kestrel {

// A "begin <mode> <name>" line at the start of a line.
struct UuBeginLine {
    std::size_t linePos = 0; // where "begin" starts
    std::size_t dataPos = 0; // the first byte after the line
    QByteArray name;         // as written (trimmed), not yet made safe
};

// The first begin line at or after `from` whose mode is 1 to 4 octal digits.
std::optional<UuBeginLine> findUuBegin(std::string_view text, std::size_t from = 0);

// Decodes uuencoded lines from the start of `body` until "end", a line that encodes no
// bytes, or the end of the text (posters often lose the "end"). Lines whose trailing
// blanks were stripped in transit decode as if the blanks were there; '`' and ' ' both
// stand for zero. A line with characters outside the code is an error.
CodecResult uuDecodeBody(std::string_view body);

} // namespace kestrel
