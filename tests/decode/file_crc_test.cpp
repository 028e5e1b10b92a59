#include "decode/file_crc.h"
#include "support/temp_program_folder.h"

#include <QFile>
#include <gtest/gtest.h>
#include <zlib.h>

using namespace kestrel;
using kestrel::test::TempProgramFolder;

// A file of several read blocks gives the CRC over all its bytes; a missing file or a
// folder gives none.
TEST(FileCrc, FilesGiveTheCrcOfAllTheirBytes)
{
    QByteArray big(3 * 1024 * 1024 + 17, Qt::Uninitialized);
    for (qsizetype i = 0; i < big.size(); ++i)
        big[i] = char((i * 7919) >> 3);
    const std::pair<QByteArray, std::optional<quint32>> cases[] = {
        {"123456789", 0xCBF43926u},
        {"", 0u},
        {big, quint32(crc32_z(0, reinterpret_cast<const Bytef *>(big.constData()), size_t(big.size())))},
        {QByteArray(), std::nullopt}, // no such file
    };
    TempProgramFolder dir;
    for (const auto &[bytes, crc] : cases) {
        QFile::remove(dir.file("f.bin"));
        if (!bytes.isNull())
            dir.write("f.bin", bytes);
        EXPECT_EQ(fileCrc32(dir.file("f.bin")), crc) << bytes.size();
    }
    EXPECT_EQ(fileCrc32(dir.path()), std::nullopt);
}

TEST(FileCrc, CrcTextIsReadAsHexValue)
{
    struct Case {
        const char *text;
        std::optional<quint32> value;
    };
    const Case cases[] = {
        {"&HCBF43926", 0xCBF43926u},
        {"cbf43926", 0xCBF43926u},
        {"0055c7b0", 0x55C7B0u},
        {"&H55C7B0", 0x55C7B0u},
        {" 0A1B 2C3D\t", 0x0A1B2C3Du},
        {"000000000A1B2C3D", 0x0A1B2C3Du}, // leading zeros do not count towards the size
        {"12G4", 0x12u},                   // digits up to the first other character
        {"FFFFFFFF", 0xFFFFFFFFu},
        {"123456789", std::nullopt}, // more than 32 bits
        {"", std::nullopt},
        {"&H", std::nullopt},
        {"XYZ", std::nullopt},
        {"\x01\xFF\x00", std::nullopt},
    };
    for (const Case &c : cases)
        EXPECT_EQ(crcTextValue(c.text), c.value) << c.text;
}
