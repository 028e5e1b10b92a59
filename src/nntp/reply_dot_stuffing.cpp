#include "nntp/reply_dot_stuffing.h"

#include <cstring>

namespace kestrel {

QByteArray unstuffDots(QByteArrayView block)
{
    QByteArray out;
    out.reserve(block.size());
    const char *p = block.data();
    const char *end = p + block.size();
    while (p < end) {
        if (*p == '.')
            ++p;
        const void *lf = std::memchr(p, '\n', size_t(end - p));
        const char *next = lf ? static_cast<const char *>(lf) + 1 : end;
        out.append(p, next - p);
        p = next;
    }
    return out;
}

} // namespace kestrel
