// Arbitrary bytes through the NNTP reply reader, cut into arbitrary pieces, with
// arbitrary expectations and ceilings: every byte it hands out must equal the input at
// that place, in order, and nothing may be handed out twice or skipped.
#include "fuzz_require.h"
#include "nntp/reply_reader.h"

#include <cstdlib>
#include <cstring>

using namespace kestrel;

using kestrel::fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 4)
        return 0;
    // The first bytes choose the ceiling, the expectations and the piece sizes.
    const qsizetype ceiling = 16 + qsizetype(data[0]) * 64;
    const uint8_t plan = data[1];
    const uint8_t piece = data[2];
    const QByteArrayView input(reinterpret_cast<const char *>(data) + 3, qsizetype(size - 3));

    ReplyReader reader(ceiling);
    static const int codes[] = {0, 215, 220, 221, 222, 224, 211};
    for (int i = 0; i < 8; ++i) {
        const int code = codes[(plan >> (i % 4)) % 7];
        reader.expect(code,
                      (plan >> i) & 1 ? ReplyReader::Delivery::Lines : ReplyReader::Delivery::WholeBlock);
    }

    QByteArray handedOut;
    qsizetype fed = 0;
    bool overflowed = false;
    while (fed < input.size() && !overflowed) {
        const qsizetype n = std::min<qsizetype>(input.size() - fed, 1 + (piece + fed) % 97);
        reader.feed(input.sliced(fed, n));
        fed += n;
        for (;;) {
            const ReplyReader::Event e = reader.next();
            if (e == ReplyReader::Event::NeedMore)
                break;
            if (e == ReplyReader::Event::Overflow) {
                overflowed = true;
                break;
            }
            if (e == ReplyReader::Event::Reply) {
                const NntpReply &r = reader.reply();
                require(r.statusSize + r.blockSize <= r.raw.size());
                require(r.raw.size() <= ceiling + 8 || r.streamed);
                handedOut += r.raw;
            } else {
                handedOut += reader.lineWithEnd().toByteArray();
            }
            require(handedOut.size() <= fed);
            require(std::memcmp(handedOut.constData(), input.data(), size_t(handedOut.size())) == 0);
        }
    }
    if (!overflowed)
        require(handedOut.size() + reader.buffered() == fed);
    return 0;
}
