// Arbitrary KESTREL.INI files: after writing one value and saving, reading the file
// again gives that value back (trimmed and cut as every read is), and what was there
// before under other keys is still there.
#include "fuzz_folder.h"

#include "base/ini_file.h"

using namespace kestrel;
using kestrel::fuzz::require;

namespace {

// A name of letters and digits made from the input, so that it is a name the program
// could use.
QByteArray nameFrom(const uint8_t *data, size_t size)
{
    static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_";
    QByteArray name;
    for (size_t i = 0; i < size; ++i)
        name += letters[data[i] % (sizeof letters - 1)];
    return name.isEmpty() ? QByteArray("K") : name;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 8)
        return 0;
    // Section and key names, the value (up to the first NUL) and the file text.
    const QByteArray section = nameFrom(data, 3);
    const QByteArray key = nameFrom(data + 3, 1 + data[3] % 4);
    const QByteArrayView rest(reinterpret_cast<const char *>(data) + 8, qsizetype(size - 8));
    const qsizetype nul = rest.indexOf('\0');
    QByteArray value = (nul < 0 ? rest : rest.first(nul)).toByteArray();
    value.replace('\r', ' ').replace('\n', ' ');
    const QByteArray text = nul < 0 ? QByteArray() : rest.sliced(nul + 1).toByteArray();

    fuzz::writeProgramFile(QStringLiteral("KESTREL.INI"), text);
    const QString path = fuzz::programFile(QStringLiteral("KESTREL.INI"));
    IniFile ini(path);
    const QByteArray other = ini.read("Options", "News_Host");
    ini.write(section, key, value);
    require(ini.save().ok());
    const IniFile again(path);
    require(again.read(section, key) == value.trimmed());
    if (section.compare("Options", Qt::CaseInsensitive) != 0 ||
        key.compare("News_Host", Qt::CaseInsensitive) != 0)
        require(again.read("Options", "News_Host") == other);
    return 0;
}
