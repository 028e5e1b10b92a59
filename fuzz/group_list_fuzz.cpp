// Arbitrary group lists (the LIST answer kept in HOSTGRPS.TXT) walked in small steps by
// the group search: the walk must end within a step per byte, its progress stay in its
// range, and every name it finds be a part of the list.
#include "fuzz_require.h"
#include "groups/group_search.h"
#include "groups/list_numbers.h"

#include <cstdlib>

using namespace kestrel;

using kestrel::fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    // First byte: mode and text length; then the text; the rest is the list.
    const SearchMode mode = data[0] & 1 ? SearchMode::Contains : SearchMode::StartsWith;
    const size_t textSize = std::min<size_t>((data[0] >> 1) % 8, size - 1);
    const QByteArray text(reinterpret_cast<const char *>(data) + 1, qsizetype(textSize));
    const QByteArray list(reinterpret_cast<const char *>(data) + 1 + textSize,
                          qsizetype(size - 1 - textSize));

    GroupListWalk walk(list, text, mode);
    QList<GroupResultRow> found;
    qint64 steps = 0;
    while (!walk.step(3, found)) {
        require(++steps <= list.size() + 2);
        require(walk.progress() >= 0 && walk.progress() <= walk.progressMaximum());
    }
    require(walk.matchCount() == found.size());
    // The text is looked for in the whole line, so a name need not hold it.
    for (const GroupResultRow &row : found)
        require(list.contains(row.name));
    (void)leadingNumber(list.left(64));
    return 0;
}
