#include "decode/encoded_part.h"

#include "decode/text_view.h"

#include <vector>

namespace kestrel {

namespace {

QByteArrayView from(QByteArrayView t, std::size_t pos)
{
    return t.sliced(static_cast<qsizetype>(pos));
}

// Where "begin " lines may start: found in one pass, as the encoded part is searched
// for several of them and a yEnc article of megabytes holds none.
struct BeginMarks {
    std::vector<std::size_t> at;

    explicit BeginMarks(QByteArrayView t)
    {
        const std::string_view v = asView(t);
        for (std::size_t p = findBytes(v, "begin "); p != std::string_view::npos;
             p = findBytes(v, "begin ", p + 1))
            at.push_back(p);
    }
    // First position at or after `from` of "begin " + mode.
    std::size_t first(QByteArrayView t, std::string_view mode, std::size_t from) const
    {
        for (const std::size_t p : at) {
            if (p >= from && asView(t).substr(p + 6, mode.size()) == mode)
                return p;
        }
        return std::string_view::npos;
    }
};

std::size_t encodedStart(QByteArrayView t, bool hasHeaders, const BeginMarks &marks)
{
    constexpr auto npos = std::string_view::npos;
    std::size_t start = 0;
    if (hasHeaders) {
        if (const std::size_t p = findBytes(asView(t), "\r\n\r\n"); p != npos)
            start = p;
    }
    if (const std::size_t p = marks.first(t, "644 ", start); p != npos)
        start = p;
    if (from(t, start).startsWith("222 ")) {
        const std::size_t p = findBytes(asView(t), "\r\n", start);
        start = p == npos ? std::size_t(t.size()) : p + 2;
    }
    for (const char *mode : {"755 ", "600 "}) {
        if (const std::size_t p = marks.first(t, mode, start); p != npos)
            start = p;
    }
    return start;
}

} // namespace

EncodedPart locateEncodedPart(QByteArrayView article, bool hasHeaders)
{
    const BeginMarks marks(article);
    const std::size_t start = encodedStart(article, hasHeaders, marks);
    return {static_cast<qsizetype>(start), marks.first(article, "644", start) != std::string_view::npos};
}

} // namespace kestrel
