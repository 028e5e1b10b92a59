#include "decode/csv_index.h"

#include "base/context.h"
#include "support/temp_program_folder.h"

#include <gtest/gtest.h>

using namespace kestrel;
using kestrel::test::TempProgramFolder;

TEST(csvCheckCrc, ComparesTheRecordsCrcWithTheFilesByValue)
{
    TempProgramFolder dir;
    ManualClock clock;
    Context ctx(dir.path(), &clock);
    QStringList logged;
    QObject::connect(&ctx.log, &OperationsLog::logged,
                     [&](const QString &, const QString &m) { logged << m; });

    CsvIndex index;
    index.addCsvText("2002_Sunsets_index", "OK1.JPG,1,CBF43926,upper\r\n"
                                           "OK3.JPG,1,0055c7b0,leading zeros\r\n"
                                           "ZERO.JPG,1,00000000,empty file\r\n"
                                           "NOHEX.JPG,1,ZZZZ,not hex\r\n"
                                           "MISSING.JPG,1,0,no such file\r\n"
                                           "TWOFIELDS.JPG,1,CBF43926\r\n"
                                           "NOCOMMA.JPG\r\n"
                                           "PIC1.JPG,1,55C7B0,a longer name");
    index.addCsvText("Beaches", "BAD.JPG,1,cbf43927,shown in upper case\n");
    struct Case {
        const char *name;
        QByteArray content; // null: the file does not exist
        bool verified;
        const char *log;
        const char *folder;
    };
    const Case cases[] = {
        {"OK1.JPG", "123456789", true, "OK1.JPG CRC32 VERIFIED", "Sunsets"},
        {"OK3.JPG", "kestrel131", true, "OK3.JPG CRC32 VERIFIED", "Sunsets"},
        {"ZERO.JPG", "", true, "ZERO.JPG CRC32 VERIFIED", "Sunsets"},
        {"BAD.JPG", "123456789", false, "CRC32 INVALID (CSV:CBF43927  BAD.JPG:CBF43926)", "Beaches"},
        // Neither garbage nor an unreadable file may pass as a CRC of zero.
        {"NOHEX.JPG", "", false, "CRC32 INVALID (CSV:ZZZZ  NOHEX.JPG:0)", "Sunsets"},
        {"MISSING.JPG", QByteArray(), false, "CRC32 INVALID (CSV:0  MISSING.JPG:)", "Sunsets"},
        {"TWOFIELDS.JPG", "123456789", false, "CSV record without CRC32 field: TWOFIELDS.JPG,1,CBF43926",
         "Sunsets"},
        {"NOCOMMA.JPG", "123456789", false, "CRC32 INVALID (CSV:  NOCOMMA.JPG:CBF43926)", "Sunsets"},
        {"NOTLISTED.JPG", "", false, "CRC32 INVALID (CSV:  NOTLISTED.JPG:0)", ""},
        // The tail of PIC1.JPG: its CRC would match, but it is not this file's record.
        {"IC1.JPG", "kestrel131", false, "CRC32 INVALID (CSV:  IC1.JPG:55C7B0)", ""},
    };
    for (const Case &c : cases) {
        const QString path = dir.file(QString::fromLatin1(c.name));
        if (!c.content.isNull())
            dir.write(QString::fromLatin1(c.name), c.content);
        logged.clear();
        EXPECT_EQ(index.csvCheckCrc(ctx, path, c.name), c.verified) << c.name;
        EXPECT_EQ(logged, QStringList{QString::fromLatin1(c.log)}) << c.name;
        EXPECT_EQ(index.csvFolder(), QByteArray(c.folder)) << c.name;
    }
}
