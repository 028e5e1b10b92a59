// Random texts through the uuencode decoder, alone and behind a begin line.
#include "decode/decode_file.h"
#include "decode/uu_decoder.h"

#include <cstdlib>

using namespace kestrel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view raw(reinterpret_cast<const char *>(data), size);
    const CodecResult r = uuDecodeBody(raw);
    // Every decoded line holds at most 63 bytes from at least one character.
    if (r.ok() && static_cast<std::size_t>(r.bytes.size()) > 63 * (size + 1))
        std::abort();
    const QByteArray text =
        "Subject: x\r\n\r\nbegin 644 a/../b.jpg\r\n" + QByteArray(raw.data(), static_cast<qsizetype>(size));
    const DecodeOutcome o = decodeArticleText(text, QStringLiteral("x"), DecodeHooks{});
    if (o.ok && (o.name.contains('/') || o.name.startsWith('.')))
        std::abort();
    return 0;
}
