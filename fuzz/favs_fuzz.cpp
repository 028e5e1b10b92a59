// Arbitrary favs.txt files: load, save, load again and save again; the two saved files
// must be the same, or a favourite's last-read number would change by itself.
#include "fuzz_folder.h"

#include "base/context.h"
#include "scan/favourites.h"

using namespace kestrel;
using kestrel::fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static Context ctx(fuzz::programFolder());
    const QString name = QStringLiteral("favs.txt");
    fuzz::writeProgramFile(name, QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));

    FavouritesModel first(ctx);
    first.loadFavs();
    require(first.saveFavs().ok());
    const QByteArray saved = fuzz::readProgramFile(name);

    FavouritesModel second(ctx);
    second.loadFavs();
    require(second.rowCount() == first.rowCount());
    for (int i = 0; i < first.rowCount(); ++i)
        require(second.row(i).name == first.row(i).name && second.row(i).ghosted == first.row(i).ghosted);
    require(second.saveFavs().ok());
    require(fuzz::readProgramFile(name) == saved);
    return 0;
}
