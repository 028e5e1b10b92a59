#pragma once

#include "decode/codec_result.h"

#include <QByteArray>

#include <optional>
#include <string_view>

namespace kestrel {

// Decodes base64 text. Line breaks, blanks and tabs between characters are skipped;
// '=' may only pad the last group to four characters, and nothing but white space may
// follow it. Any other character, or a last group of one character, is an error.
CodecResult base64Decode(std::string_view text);

// A base64 item inside an article.
struct Base64Item {
    std::size_t startPos = 0; // where the item's first header or begin line starts
    std::size_t bodyPos = 0;  // first character of the encoded data
    std::size_t bodyEnd = 0;  // just after the encoded data
    QByteArray name;          // as written, not yet made safe; may be empty
};

// The first MIME part (or whole message) sent with "Content-Transfer-Encoding: base64",
// at or after `from`. Its data runs from the blank line after its headers to the next
// line that starts with "--" (a boundary or a signature) or the end of the text; its
// name is the filename= (else name=) parameter of its headers.
std::optional<Base64Item> findMimeBase64(std::string_view text, std::size_t from = 0);

// The first "begin-base64 <mode> <name>" block (uuencode -m), ended by "====".
std::optional<Base64Item> findBeginBase64(std::string_view text, std::size_t from = 0);

} // namespace kestrel
