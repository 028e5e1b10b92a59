#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <cstring>
#include <string_view>

namespace kestrel {

// The decoders search and slice article text as std::string_view: no copies, and the
// standard searches are fast.
inline std::string_view asView(QByteArrayView bytes)
{
    return {bytes.data(), static_cast<std::size_t>(bytes.size())};
}

inline QByteArray toBytes(std::string_view s)
{
    return {s.data(), static_cast<qsizetype>(s.size())};
}

// std::string_view::find looks for the needle's first byte with memchr and then
// compares; in yEnc data '=' is everywhere, so that crawls. glibc's memmem does not.
inline std::size_t findBytes(std::string_view text, std::string_view needle, std::size_t from = 0)
{
    if (from > text.size() || needle.size() > text.size() - from)
        return std::string_view::npos; // also keeps a null data() away from memmem
    const void *hit = memmem(text.data() + from, text.size() - from, needle.data(), needle.size());
    return hit ? static_cast<std::size_t>(static_cast<const char *>(hit) - text.data())
               : std::string_view::npos;
}

// The line that holds position `pos`, from `pos` to just before its LF (a CR before the
// LF stays).
inline std::string_view lineAt(std::string_view text, std::size_t pos)
{
    const std::size_t end = text.find('\n', pos);
    return text.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
}

// `line` without one CR at its end.
inline std::string_view withoutCr(std::string_view line)
{
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    return line;
}

} // namespace kestrel
