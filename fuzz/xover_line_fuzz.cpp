// Arbitrary overview lines through the overview-line parser, and the header block it
// builds through the filter's field parser: no line may crash either, the article
// number must be a part of the line, and the block must end the way the filter expects.
#include "fuzz_require.h"
#include "nntp/xover_line.h"
#include "scan/header_filter.h"

#include <cstdlib>

using namespace kestrel;

using kestrel::fuzz::require;

namespace {

bool inside(QByteArrayView part, QByteArrayView whole)
{
    return part.isEmpty() ||
           (part.data() >= whole.data() && part.data() + part.size() <= whole.data() + whole.size());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView line(reinterpret_cast<const char *>(data), qsizetype(size));
    QByteArray block;
    QByteArrayView number;
    const bool parsed = parseXoverLine(line, block, number);
    require(parsed == line.contains('\t'));
    if (!parsed)
        return 0;
    require(inside(number, line));
    require(!number.contains('\t'));
    require(block.startsWith("Subject: "));
    require(block.endsWith("\r\r\n"));
    const HeaderFields f = parseHeaderFields(block);
    for (QByteArrayView v : {f.subject, f.lines, f.xref, f.postingHost, f.organization, f.from})
        require(inside(v, block));
    require(countCrossposts(f.xref) >= 1);
    (void)linesFromBytes(line.first(std::min<qsizetype>(line.size(), 40)));
    return 0;
}
