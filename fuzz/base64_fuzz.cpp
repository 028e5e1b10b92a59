// Random texts through the base64 decoder. Whatever it accepts, Qt's own decoder must
// read the same way.
#include "decode/base64_decoder.h"
#include "decode/decode_file.h"

#include <cstdlib>

using namespace kestrel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view raw(reinterpret_cast<const char *>(data), size);
    const CodecResult r = base64Decode(raw);
    if (r.ok()) {
        QByteArray plain;
        for (char c : raw) {
            if (c != ' ' && c != '\t' && c != '\r' && c != '\n')
                plain.append(c);
        }
        if (QByteArray::fromBase64(plain) != r.bytes)
            std::abort();
    }
    const QByteArray text =
        "Content-Type: image/jpeg; name=\"x.jpg\"\r\nContent-Transfer-Encoding: base64\r\n\r\n" +
        QByteArray(raw.data(), static_cast<qsizetype>(size));
    decodeArticleText(text, QStringLiteral("x"), DecodeHooks{});
    return 0;
}
