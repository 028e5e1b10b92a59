// Arbitrary pending.dat files: whatever is read from one, saving it and reading that
// again gives the same list, so a list saved at every shutdown never drifts.
#include "scan/pending_file.h"

#include <QBuffer>

#include <cstdlib>

using namespace kestrel;

namespace {

pendingfile::ReadResult readBytes(QByteArray bytes)
{
    QBuffer in(&bytes);
    in.open(QIODevice::ReadOnly);
    return pendingfile::read(in);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const pendingfile::ReadResult first = readBytes(bytes);
    if (!first.magicOk)
        return 0;
    if (first.entries.size() > std::max<qint64>(first.declared, 0))
        std::abort();
    const QDateTime savedAt(QDate(2026, 3, 4), QTime(10, 30));
    const QByteArray saved = pendingfile::encode(first.entries, savedAt);
    const pendingfile::ReadResult second = readBytes(saved);
    if (!second.magicOk || second.dropped != 0)
        std::abort();
    if (pendingfile::encode(second.entries, savedAt) != saved)
        std::abort();
    return 0;
}
