#include "decode/file_crc.h"
#include "support/temp_program_folder.h"

#include <QFile>
#include <gtest/gtest.h>
#include <zlib.h>

using namespace kestrel;
using kestrel::test::TempProgramFolder;

TEST(FileCrc, KnownFilesGiveTheirCrcText)
{
    struct Case {
        QByteArray bytes; // null: no such file
        qint32 calCrc;
        QByteArray text;
    };
    const Case cases[] = {
        {"123456789", qint32(0xCBF43926u), "&HCBF43926"},
        {"kestrel131", 0x55C7B0, "&H55C7B0"}, // no leading zeros
        {"", 0, "&H0"},
        {QByteArray(), -1, ""},
    };
    TempProgramFolder dir;
    for (const Case &c : cases) {
        QFile::remove(dir.file("f.bin"));
        if (!c.bytes.isNull())
            dir.write("f.bin", c.bytes);
        EXPECT_EQ(signedFileCrc(dir.file("f.bin")), c.calCrc) << c.bytes.constData();
        EXPECT_EQ(fileCrcText(dir.file("f.bin")), c.text) << c.bytes.constData();
    }
    EXPECT_EQ(fileCrc32(dir.path()), std::nullopt); // a folder is not a file
}

TEST(FileCrc, LargeFileReadInBlocksMatchesOneCrcOverAllBytes)
{
    QByteArray bytes(3 * 1024 * 1024 + 17, Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i)
        bytes[i] = char((i * 7919) >> 3);
    const auto expected =
        quint32(crc32_z(0, reinterpret_cast<const Bytef *>(bytes.constData()), size_t(bytes.size())));
    TempProgramFolder dir;
    dir.write("big.bin", bytes);
    EXPECT_EQ(fileCrc32(dir.file("big.bin")), expected);
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
