#include "decode/yenc_part_keys.h"

#include "decode/text_view.h"
#include "decode/yenc_decoder.h"

namespace kestrel {

namespace {

// The value of key= among the blank-separated words of a yEnc line. The name= key
// ends the scan: a file name may hold blanks and "size=" of its own.
std::optional<std::string_view> keyValue(std::string_view line, std::string_view key)
{
    line = withoutCr(line);
    std::size_t from = 0;
    while (from < line.size()) {
        std::size_t to = line.find(' ', from);
        if (to == std::string_view::npos)
            to = line.size();
        const std::string_view word = line.substr(from, to - from);
        if (word.substr(0, 5) == "name=")
            return std::nullopt;
        if (word.size() > key.size() && word.substr(0, key.size()) == key && word[key.size()] == '=')
            return word.substr(key.size() + 1);
        from = to + 1;
    }
    return std::nullopt;
}

std::optional<qint64> decimalKey(std::string_view line, std::string_view key)
{
    const std::optional<std::string_view> text = keyValue(line, key);
    if (!text || text->empty() || text->size() > 15)
        return std::nullopt;
    qint64 value = 0;
    for (const char c : *text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

std::optional<quint32> hexKey(std::string_view line, std::string_view key)
{
    const std::optional<std::string_view> text = keyValue(line, key);
    return text ? hexNumber(*text) : std::nullopt;
}

} // namespace

std::optional<YencPartKeys> readYencPartKeys(std::string_view text)
{
    const std::string_view window = text.substr(0, YencDetectionWindow);
    const std::size_t beginPos = findBytes(window, "=ybegin ");
    if (beginPos == std::string_view::npos)
        return std::nullopt;
    YencPartKeys keys;
    const std::string_view beginLine = lineAt(text, beginPos);
    keys.part = decimalKey(beginLine, "part");
    keys.total = decimalKey(beginLine, "total");
    keys.size = decimalKey(beginLine, "size");
    if (const std::size_t p = findBytes(window, "=ypart", beginPos); p != std::string_view::npos) {
        const std::string_view partLine = lineAt(text, p);
        keys.begin = decimalKey(partLine, "begin");
        keys.end = decimalKey(partLine, "end");
    }
    // The trailer is the last line but the end of the reply: look from the back rather
    // than through the data.
    if (const std::size_t p = text.rfind("=yend"); p != std::string_view::npos && p > beginPos) {
        const std::string_view trailer = lineAt(text, p);
        keys.partSize = decimalKey(trailer, "size");
        keys.crc32 = hexKey(trailer, "crc32");
    }
    return keys;
}

} // namespace kestrel
