#include "decode/uu_decoder.h"

#include "decode/text_view.h"

#include <array>

namespace kestrel {

namespace {

constexpr std::uint8_t Invalid = 0xFF;

// Character -> 6-bit value; '`' and ' ' both mean 0.
constexpr std::array<std::uint8_t, 256> makeUuTable()
{
    std::array<std::uint8_t, 256> t{};
    for (auto &v : t)
        v = Invalid;
    for (int c = 32; c <= 96; ++c)
        t[static_cast<std::size_t>(c)] = static_cast<std::uint8_t>((c - 32) & 63);
    return t;
}

bool isOctal(char c)
{
    return c >= '0' && c <= '7';
}

std::string_view trimBlanks(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

// One encoded line without its count character and line end, into `o`, which has room
// for 63 bytes. Returns false for a line outside the code.
bool decodeLine(std::string_view line, std::size_t count, std::uint8_t *o)
{
    static constexpr std::array<std::uint8_t, 256> table = makeUuTable();
    const std::size_t needed = (count + 2) / 3 * 4;
    // One character more is tolerated: some encoders end a line with a check character.
    if (line.size() > needed + 1)
        return false;
    const auto *p = reinterpret_cast<const std::uint8_t *>(line.data());
    const std::size_t whole = std::min(needed, line.size() / 4 * 4);
    std::size_t g = 0;
    for (; g < whole; g += 4) {
        const std::uint8_t a = table[p[g]], b = table[p[g + 1]], c = table[p[g + 2]], d = table[p[g + 3]];
        if ((a | b | c | d) & 0xC0)
            return false;
        *o++ = static_cast<std::uint8_t>(a << 2 | b >> 4);
        *o++ = static_cast<std::uint8_t>(b << 4 | c >> 2);
        *o++ = static_cast<std::uint8_t>(c << 6 | d);
    }
    for (; g < needed; g += 4) {
        std::uint8_t v[4];
        for (std::size_t k = 0; k < 4; ++k) {
            // Trailing blanks lost in transit: a missing character is a blank, i.e. 0.
            v[k] = g + k < line.size() ? table[p[g + k]] : 0;
            if (v[k] & 0xC0)
                return false;
        }
        *o++ = static_cast<std::uint8_t>(v[0] << 2 | v[1] >> 4);
        *o++ = static_cast<std::uint8_t>(v[1] << 4 | v[2] >> 2);
        *o++ = static_cast<std::uint8_t>(v[2] << 6 | v[3]);
    }
    for (std::size_t k = needed; k < line.size(); ++k) {
        if (table[p[k]] & 0xC0)
            return false;
    }
    return true;
}

} // namespace

std::optional<UuBeginLine> findUuBegin(std::string_view text, std::size_t from)
{
    for (std::size_t pos = findBytes(text, "begin ", from); pos != std::string_view::npos;
         pos = findBytes(text, "begin ", pos + 1)) {
        if (pos > 0 && text[pos - 1] != '\n')
            continue;
        const std::string_view line = withoutCr(lineAt(text, pos));
        std::size_t k = 6;
        while (k < line.size() && isOctal(line[k]) && k < 10)
            ++k;
        if (k == 6 || k >= line.size() || line[k] != ' ')
            continue;
        UuBeginLine found;
        found.linePos = pos;
        found.dataPos = pos + lineAt(text, pos).size() + 1;
        found.name = toBytes(trimBlanks(line.substr(k + 1)));
        return found;
    }
    return std::nullopt;
}

CodecResult uuDecodeBody(std::string_view body)
{
    CodecResult result;
    QByteArray &out = result.bytes;
    // A full line of 61 characters gives 45 bytes; short lines may give more per
    // character, so the buffer grows when a line might not fit.
    out.resize(static_cast<qsizetype>(body.size() / 4 * 3) + 64);
    qsizetype used = 0;
    std::size_t pos = 0;
    int lineNo = 0;
    while (pos < body.size()) {
        std::string_view line = lineAt(body, pos);
        pos += line.size() + 1;
        ++lineNo;
        line = withoutCr(line);
        if (line.empty())
            break; // a zero-count line " " whose blank was stripped
        if (trimBlanks(line) == "end")
            break;
        const auto lead = static_cast<unsigned char>(line.front());
        const std::size_t count = (lead - 32u) & 63u;
        if (lead < 32 || lead > 96) {
            result.error = QStringLiteral("uuencoded line %1 is not valid").arg(lineNo);
            return result;
        }
        if (count == 0)
            break;
        if (used + 66 > out.size())
            out.resize(out.size() * 2);
        if (!decodeLine(line.substr(1), count, reinterpret_cast<std::uint8_t *>(out.data()) + used)) {
            result.error = QStringLiteral("uuencoded line %1 is not valid").arg(lineNo);
            return result;
        }
        used += static_cast<qsizetype>(count);
    }
    out.truncate(used);
    if (used == 0)
        result.error = QStringLiteral("the uuencoded block holds no data");
    return result;
}

} // namespace kestrel
