// Random article texts through the yEnc decoder, and random data through every kernel
// this processor runs, which must all agree with the portable one.
#include "decode/decode_file.h"
#include "decode/yenc_decoder.h"
#include "decode/yenc_kernel.h"

#include <cstdlib>
#include <cstring>
#include <vector>

using namespace kestrel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    std::vector<std::uint8_t> ref(size + 1), out(size + 1);
    bool refEsc = size > 0 && (data[0] & 1);
    const std::size_t refN = yenc::decodePortable(data, size, ref.data(), refEsc);
    for (yenc::Kernel k : {yenc::Kernel::Ssse3, yenc::Kernel::Avx2}) {
        if (!yenc::kernelSupported(k))
            continue;
        bool esc = size > 0 && (data[0] & 1);
        const std::size_t n = yenc::kernelFunction(k)(data, size, out.data(), esc);
        if (n != refN || esc != refEsc || std::memcmp(out.data(), ref.data(), n) != 0)
            std::abort();
    }

    // Half the inputs get a header line, so that the fuzzer reaches the data quickly.
    QByteArray text;
    if (size > 0 && (data[0] & 2))
        text = "=ybegin part=1 line=128 size=9 name=x\r\n";
    text.append(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const DecodeOutcome o = decodeArticleText(text, QStringLiteral("x"), DecodeHooks{});
    // A part may sit anywhere in a picture of up to the largest size taken; a whole file
    // is held to the smaller single-article limit.
    const qint64 limit = o.file.replaceWhole ? YencMaxFileSize : YencMaxPictureSize;
    if (o.ok && o.file.position + o.file.bytes.size() > limit)
        std::abort();
    return 0;
}
