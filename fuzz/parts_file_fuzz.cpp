// Arbitrary pending.parts files: whatever is accepted describes well-formed pictures
// (parts in order, within their total), and saving what was read and reading that again
// gives the same pictures, so the file never drifts from one shutdown to the next.
#include "fuzz_require.h"

#include "scan/pending_parts_file.h"

using namespace kestrel;
using kestrel::fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const partsfile::ReadResult first = partsfile::parse(bytes);
    if (!first.ok)
        return 0;
    QList<PendingEntry> entries;
    for (const partsfile::Record &r : first.records) {
        require(r.parts.total >= 2 && !r.parts.seen.isEmpty() && r.parts.seen.size() <= r.parts.total);
        for (qsizetype i = 0; i < r.parts.seen.size(); ++i)
            require(r.parts.seen[i].number >= 1 && r.parts.seen[i].number <= r.parts.total &&
                    (i == 0 || r.parts.seen[i - 1].number < r.parts.seen[i].number));
        PendingEntry e;
        e.text = r.name;
        e.parts = r.parts;
        entries.append(e);
    }
    const partsfile::ReadResult second = partsfile::parse(partsfile::encode(entries));
    require(second.ok && second.records.size() == first.records.size());
    for (qsizetype i = 0; i < second.records.size(); ++i)
        require(second.records[i].index == i && second.records[i].name == first.records[i].name &&
                second.records[i].parts == first.records[i].parts);
    return 0;
}
