#include "decode/unstuff_dots.h"

#include "decode/text_view.h"

namespace kestrel {

namespace {

constexpr std::string_view Stuffed = "\r\n..";

// Appends the unstuffed text to `out`; `hit` is the first stuffed line start.
void unstuffInto(std::string_view t, std::size_t hit, QByteArray &out)
{
    std::size_t copied = 0;
    while (hit != std::string_view::npos) {
        // Keep CR LF and the second dot; the search goes on behind that dot, so the
        // LF of a line of two dots alone can start the next match.
        out.append(t.data() + copied, static_cast<qsizetype>(hit + 2 - copied));
        copied = hit + 3;
        hit = t.find(Stuffed, copied);
    }
    out.append(t.data() + copied, static_cast<qsizetype>(t.size() - copied));
}

} // namespace

QByteArray unstuffDots(QByteArrayView text)
{
    const std::string_view t = asView(text);
    const std::size_t hit = t.find(Stuffed);
    if (hit == std::string_view::npos)
        return text.toByteArray();
    QByteArray out;
    out.reserve(text.size());
    unstuffInto(t, hit, out);
    return out;
}

QByteArrayView unstuffDots(QByteArrayView text, QByteArray &scratch)
{
    const std::string_view t = asView(text);
    const std::size_t hit = t.find(Stuffed);
    if (hit == std::string_view::npos)
        return text;
    scratch.resize(0); // keeps the capacity
    scratch.reserve(text.size());
    unstuffInto(t, hit, scratch);
    return scratch;
}

} // namespace kestrel
