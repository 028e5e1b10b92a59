#include "unstuff_dots.h"

#include "text_view.h"

namespace kestrel {

QByteArray UnstuffDots(QByteArrayView text)
{
    const std::string_view t = asView(text);
    constexpr std::string_view Stuffed = "\r\n..";
    std::size_t hit = t.find(Stuffed);
    if (hit == std::string_view::npos)
        return text.toByteArray();
    QByteArray out;
    out.reserve(text.size());
    std::size_t copied = 0;
    while (hit != std::string_view::npos) {
        // Keep CR LF and the second dot; the search goes on behind that dot, so the
        // LF of a line of two dots alone can start the next match.
        out.append(t.data() + copied, static_cast<qsizetype>(hit + 2 - copied));
        copied = hit + 3;
        hit = t.find(Stuffed, copied);
    }
    out.append(t.data() + copied, static_cast<qsizetype>(t.size() - copied));
    return out;
}

} // namespace kestrel
