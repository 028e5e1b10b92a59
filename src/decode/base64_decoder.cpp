#include "decode/base64_decoder.h"

#include "decode/text_view.h"

#include <array>

namespace kestrel {

namespace {

constexpr std::uint8_t Skip = 0x40; // white space between characters
constexpr std::uint8_t Pad = 0x41;  // '='
constexpr std::uint8_t Invalid = 0x80;

constexpr std::array<std::uint8_t, 256> makeTable()
{
    std::array<std::uint8_t, 256> t{};
    for (auto &v : t)
        v = Invalid;
    constexpr std::string_view alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (std::size_t i = 0; i < alphabet.size(); ++i)
        t[static_cast<unsigned char>(alphabet[i])] = static_cast<std::uint8_t>(i);
    for (char c : {' ', '\t', '\r', '\n'})
        t[static_cast<unsigned char>(c)] = Skip;
    t['='] = Pad;
    return t;
}

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

bool startsWithNoCase(std::string_view s, std::string_view prefix)
{
    if (s.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (lower(s[i]) != lower(prefix[i]))
            return false;
    }
    return true;
}

std::size_t findNoCase(std::string_view s, std::string_view needle, std::size_t from = 0)
{
    for (std::size_t i = from; i + needle.size() <= s.size(); ++i) {
        if (startsWithNoCase(s.substr(i), needle))
            return i;
    }
    return std::string_view::npos;
}

std::size_t nextLine(std::string_view text, std::size_t pos)
{
    const std::size_t lf = text.find('\n', pos);
    return lf == std::string_view::npos ? text.size() : lf + 1;
}

// The value of a MIME parameter such as filename="x.jpg" or name=x.jpg.
std::optional<QByteArray> parameter(std::string_view headers, std::string_view key)
{
    for (std::size_t p = findNoCase(headers, key); p != std::string_view::npos;
         p = findNoCase(headers, key, p + 1)) {
        // The key must stand alone: not the "name" inside "filename".
        if (p > 0 && headers[p - 1] != ' ' && headers[p - 1] != ';' && headers[p - 1] != '\t')
            continue;
        std::string_view v = headers.substr(p + key.size());
        if (!v.empty() && v.front() == '"') {
            v.remove_prefix(1);
            return toBytes(v.substr(0, std::min(v.find('"'), v.find('\n'))));
        }
        std::size_t end = 0;
        while (end < v.size() && v[end] != ';' && v[end] != '\r' && v[end] != '\n')
            ++end;
        return toBytes(v.substr(0, end));
    }
    return std::nullopt;
}

} // namespace

CodecResult base64Decode(std::string_view text)
{
    static constexpr std::array<std::uint8_t, 256> table = makeTable();
    CodecResult result;
    result.bytes.resize(static_cast<qsizetype>(text.size() / 4 * 3 + 3));
    auto *o = reinterpret_cast<std::uint8_t *>(result.bytes.data());
    const auto *p = reinterpret_cast<const std::uint8_t *>(text.data());
    const std::uint8_t *const end = p + text.size();
    std::uint32_t group = 0;
    int have = 0; // characters in `group`
    int pads = 0;
    while (p < end) {
        // Whole groups of four characters, the bulk of every line.
        if (have == 0 && pads == 0) {
            while (end - p >= 4) {
                const std::uint32_t a = table[p[0]], b = table[p[1]], c = table[p[2]], d = table[p[3]];
                if ((a | b | c | d) & 0xC0)
                    break;
                const std::uint32_t v = a << 18 | b << 12 | c << 6 | d;
                o[0] = static_cast<std::uint8_t>(v >> 16);
                o[1] = static_cast<std::uint8_t>(v >> 8);
                o[2] = static_cast<std::uint8_t>(v);
                o += 3;
                p += 4;
            }
            if (p == end)
                break;
        }
        const std::uint8_t v = table[*p++];
        if (v == Skip)
            continue;
        if (v == Invalid) {
            result.error = QStringLiteral("base64 data holds a character outside the code");
            return result;
        }
        if (v == Pad) {
            ++pads;
            continue;
        }
        if (pads > 0) {
            result.error = QStringLiteral("base64 data has bad padding");
            return result;
        }
        group = group << 6 | v;
        if (++have == 4) {
            o[0] = static_cast<std::uint8_t>(group >> 16);
            o[1] = static_cast<std::uint8_t>(group >> 8);
            o[2] = static_cast<std::uint8_t>(group);
            o += 3;
            group = 0;
            have = 0;
        }
    }
    // Padding completes the last group exactly, or is absent.
    if (have == 1 || (pads > 0 && have + pads != 4)) {
        result.error = QStringLiteral("base64 data has bad padding");
        return result;
    }
    if (have == 2) {
        *o++ = static_cast<std::uint8_t>(group >> 4);
    } else if (have == 3) {
        *o++ = static_cast<std::uint8_t>(group >> 10);
        *o++ = static_cast<std::uint8_t>(group >> 2);
    }
    result.bytes.truncate(o - reinterpret_cast<std::uint8_t *>(result.bytes.data()));
    if (result.bytes.isEmpty())
        result.error = QStringLiteral("the base64 block holds no data");
    return result;
}

std::optional<Base64Item> findMimeBase64(std::string_view text, std::size_t from)
{
    constexpr std::string_view Key = "content-transfer-encoding:";
    // Line by line: a header starts a line, and a case-blind search of the whole
    // text would crawl through megabytes of encoded data.
    for (std::size_t p = from; p < text.size(); p = nextLine(text, p)) {
        if ((p > 0 && text[p - 1] != '\n') || !startsWithNoCase(text.substr(p), Key))
            continue;
        std::string_view value = withoutCr(lineAt(text, p + Key.size()));
        while (!value.empty() && (value.front() == ' ' || value.front() == '\t'))
            value.remove_prefix(1);
        if (!startsWithNoCase(value, "base64"))
            continue;
        // The part's headers: back to the blank line (or text start) before them,
        // forward to the blank line after them.
        std::size_t headStart = 0;
        if (const auto crlf = text.rfind("\n\r\n", p); crlf != std::string_view::npos)
            headStart = crlf + 3;
        if (const auto lf = text.rfind("\n\n", p); lf != std::string_view::npos)
            headStart = std::max(headStart, lf + 2);
        headStart = std::min(headStart, p);
        std::size_t body = nextLine(text, p);
        while (body < text.size() && !withoutCr(lineAt(text, body)).empty())
            body = nextLine(text, body);
        body = nextLine(text, body);
        std::size_t bodyEnd = body;
        while (bodyEnd < text.size() && text.substr(bodyEnd, 2) != "--")
            bodyEnd = nextLine(text, bodyEnd);
        Base64Item item;
        item.startPos = headStart;
        item.bodyPos = std::min(body, text.size());
        item.bodyEnd = std::min(bodyEnd, text.size());
        const std::string_view headers = text.substr(headStart, item.bodyPos - headStart);
        if (auto n = parameter(headers, "filename="))
            item.name = *n;
        else if (auto m = parameter(headers, "name="))
            item.name = *m;
        return item;
    }
    return std::nullopt;
}

std::optional<Base64Item> findBeginBase64(std::string_view text, std::size_t from)
{
    for (std::size_t p = findBytes(text, "begin-base64 ", from); p != std::string_view::npos;
         p = findBytes(text, "begin-base64 ", p + 1)) {
        if (p > 0 && text[p - 1] != '\n')
            continue;
        const std::string_view line = withoutCr(lineAt(text, p));
        const std::size_t nameAt = line.find(' ', 13);
        Base64Item item;
        item.startPos = p;
        item.name =
            nameAt == std::string_view::npos ? QByteArray() : toBytes(line.substr(nameAt + 1)).trimmed();
        item.bodyPos = nextLine(text, p);
        item.bodyEnd = item.bodyPos;
        while (item.bodyEnd < text.size() && withoutCr(lineAt(text, item.bodyEnd)) != "====")
            item.bodyEnd = nextLine(text, item.bodyEnd);
        return item;
    }
    return std::nullopt;
}

} // namespace kestrel
