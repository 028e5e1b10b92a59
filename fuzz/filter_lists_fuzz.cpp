// Arbitrary NOREDL.TXT, BLKLIST.TXT and DUPEPATH.TXT files: each is loaded, saved, loaded
// and saved again, and the two saved files must be the same; every name the loaded
// no-re-download list holds is found in it.
#include "fuzz_folder.h"

#include "base/context.h"
#include "scan/blacklist.h"
#include "scan/dupe_paths.h"
#include "scan/noredl_list.h"

using namespace kestrel;
using kestrel::fuzz::require;

namespace {

template <typename List, typename Load, typename Save>
void roundTrip(Context &ctx, const QString &name, const QByteArray &bytes, Load load, Save save)
{
    fuzz::writeProgramFile(name, bytes);
    List first(ctx);
    (first.*load)();
    require((first.*save)().ok());
    const QByteArray saved = fuzz::readProgramFile(name);
    List second(ctx);
    (second.*load)();
    require((second.*save)().ok());
    require(fuzz::readProgramFile(name) == saved);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static Context ctx(fuzz::programFolder());
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    roundTrip<NoRedlList>(ctx, QStringLiteral("NOREDL.TXT"), bytes, &NoRedlList::loadNoRedl,
                          &NoRedlList::saveNoRedl);
    roundTrip<Blacklist>(ctx, QStringLiteral("BLKLIST.TXT"), bytes, &Blacklist::loadBlacklist,
                         &Blacklist::saveBlacklist);
    roundTrip<DupePaths>(ctx, QStringLiteral("DUPEPATH.TXT"), bytes, &DupePaths::loadDupePaths,
                         &DupePaths::saveDupePaths);

    NoRedlList noRedl(ctx);
    noRedl.loadNoRedl();
    // Every item the file ends with a comma is a name of the list.
    const QList<QByteArray> items = bytes.split(',');
    for (qsizetype i = 0; i + 1 < items.size(); ++i) {
        if (!items[i].isEmpty())
            require(noRedl.contains(items[i]));
    }
    return 0;
}
