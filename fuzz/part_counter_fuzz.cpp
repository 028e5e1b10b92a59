// Arbitrary subjects: a counter found is a sound one (1 <= k <= n, n >= 2), and the
// subject without it is shorter, with no blank left at either end.
#include "fuzz_require.h"

#include "scan/part_counter.h"

using namespace kestrel;
using kestrel::fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView subject(reinterpret_cast<const char *>(data), qsizetype(size));
    const std::optional<PartCounter> c = findPartCounter(subject);
    if (!c)
        return 0;
    require(c->total >= 2 && c->number >= 1 && c->number <= c->total);
    require(c->rest.size() < subject.size());
    if (!c->rest.isEmpty())
        require(c->rest.front() != ' ' && c->rest.back() != ' ');
    return 0;
}
