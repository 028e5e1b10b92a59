// Arbitrary header blocks (a HEAD reply as the filter reads it) through the filter's
// field parser: each field found must be a part of the block, and the cross-post count
// of any Xref value is at least one.
#include "scan/header_filter.h"

#include <cstdlib>

using namespace kestrel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray block(reinterpret_cast<const char *>(data), qsizetype(size));
    const HeaderFields f = parseHeaderFields(block);
    const char *begin = block.constData();
    const char *end = begin + block.size();
    // A missing Lines field reads as a constant; every other field is a part of the block.
    for (QByteArrayView v : {f.subject, f.xref, f.postingHost, f.organization, f.from}) {
        if (!v.isEmpty() && (v.data() < begin || v.data() + v.size() > end))
            std::abort();
    }
    if (countCrossposts(f.xref) < 1 || countCrossposts(block) < 1)
        std::abort();
    return 0;
}
