#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <cstring>
#include <optional>
#include <string_view>

namespace kestrel {

// The decoders search and slice article text as std::string_view: no copies, and the
// standard searches are fast.
inline std::string_view asView(QByteArrayView bytes)
{
    return {bytes.data(), static_cast<std::size_t>(bytes.size())};
}

// Up to eight hexadecimal digits, either case, as a yEnc CRC-32 is written; nothing else.
inline std::optional<quint32> hexNumber(std::string_view text)
{
    if (text.empty() || text.size() > 8)
        return std::nullopt;
    quint32 value = 0;
    for (const char c : text) {
        const int d = c >= '0' && c <= '9'   ? c - '0'
                      : c >= 'a' && c <= 'f' ? c - 'a' + 10
                      : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                             : -1;
        if (d < 0)
            return std::nullopt;
        value = value << 4 | static_cast<quint32>(d);
    }
    return value;
}

inline QByteArray toBytes(std::string_view s)
{
    return {s.data(), static_cast<qsizetype>(s.size())};
}

// std::string_view::find looks for the needle's first byte with memchr and then
// compares; in yEnc data '=' is everywhere, so that crawls. Looking for a lowercase
// letter of the needle instead is fast in every body the decoders meet: yEnc bytes are
// spread evenly (one in 256), uuencoded lines hold no lowercase at all. A needle
// without one goes to glibc's memmem.
inline std::size_t findBytes(std::string_view text, std::string_view needle, std::size_t from = 0)
{
    if (from > text.size() || needle.size() > text.size() - from)
        return std::string_view::npos; // also keeps a null data() away from memchr/memmem
    std::size_t k = 0;
    while (k < needle.size() && !(needle[k] >= 'a' && needle[k] <= 'z'))
        ++k;
    const char *base = text.data();
    if (k == needle.size()) {
        const void *hit = memmem(base + from, text.size() - from, needle.data(), needle.size());
        return hit ? static_cast<std::size_t>(static_cast<const char *>(hit) - base) : std::string_view::npos;
    }
    // Anchor positions run from `from + k` to the last one that leaves room for the rest.
    std::size_t at = from + k;
    const std::size_t lastAt = text.size() - (needle.size() - k);
    while (at <= lastAt) {
        const void *hit = std::memchr(base + at, needle[k], lastAt - at + 1);
        if (!hit)
            break;
        at = static_cast<std::size_t>(static_cast<const char *>(hit) - base);
        if (std::memcmp(base + at - k, needle.data(), needle.size()) == 0)
            return at - k;
        ++at;
    }
    return std::string_view::npos;
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
