// Feeds arbitrary bytes to the CSV index as the text of one CSV file and checks every
// lookup against a plain map built from the same lines; the same bytes also go
// through the picture check and the CRC text reader.
#include "decode/csv_index.h"
#include "decode/file_crc.h"
#include "decode/jpeg_check.h"
#include "fuzz_require.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstdlib>
#include <map>
#include <string>

using kestrel::fuzz::require;

namespace {

std::string upper(std::string s)
{
    for (char &c : s)
        c = (c >= 'a' && c <= 'z') ? char(c - 32) : c;
    return s;
}

// The lines of a CSV text by their first field, the first line of each name winning.
std::map<std::string, std::string> expectedRecords(const std::string &text)
{
    std::map<std::string, std::string> records;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::string key = line.substr(0, line.find(','));
        while (!key.empty() && (key.back() == ' ' || key.back() == '\t'))
            key.pop_back();
        if (!key.empty())
            records.emplace(upper(key), line);
        pos = end + 1;
    }
    return records;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string text(reinterpret_cast<const char *>(data), size);
    const QByteArray bytes(text.data(), qsizetype(text.size()));

    // Once from memory, once through a file (the arena the start-up load uses).
    kestrel::CsvIndex index;
    index.addCsvText("2002_Fuzz_index", bytes);
    kestrel::CsvIndex loaded;
    {
        static const QString folder =
            QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
        static const QString path =
            folder + QStringLiteral("/csv_fuzz_%1.CSV").arg(QCoreApplication::applicationPid());
        QFile out(path);
        require(out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size());
        out.close();
        QString name = QStringLiteral("2002_Fuzz_index.CSV");
        require(loaded.csvLoadFile(path, name) && name == QStringLiteral("2002_Fuzz_index"));
    }
    for (const auto &[key, line] : expectedRecords(text)) {
        // The lookup trims blanks off the name, so a name with them is not findable.
        if (key.front() == ' ' || key.back() == ' ')
            continue;
        const QByteArray name(key.data(), qsizetype(key.size()));
        const QByteArray want = QByteArray(line.data(), qsizetype(line.size())) + "\r2002_Fuzz_index";
        require(index.csvFindRecord(name.toLower()) == want);
        require(loaded.csvFindRecord(name) == want);
        require(index.csvFindCrcRecord(name) ==
                QByteArray(upper(line).c_str(), qsizetype(line.size())) + '\r');
        require(index.csvFolder() == "Fuzz");
    }
    (void)index.csvFindRecord(bytes.left(64));

    const int code = kestrel::jpegCheckBytes(bytes);
    require(code >= 0 && code <= 6);
    (void)kestrel::crcTextValue(bytes);
    return 0;
}
