#include "base/format_speed.h"

#include <gtest/gtest.h>

using namespace kestrel;

TEST(formatSpeed, ThousandsOfBytesPerSecondAndSizesInKb)
{
    const std::tuple<qint64, qint64, const char *> speeds[] = {
        {0, 500000, "500,000.00"}, // read before its turn: under a millisecond
        {-3000, 500000, ".00"},      {1000, 0, ".00"},
        {2000, 1001, ".50"},         {3000, 1000, ".33"},
        {1000, 123455, "123.46"},    {1000, 1234567891, "1,234,567.89"},
        {7000, 7000000, "1,000.00"}, {250, 100000, "400.00"}, // well under a second
        {1, 1234, "1,234.00"},       {2999, 1234, ".41"},
        {999, 1000, "1.00"}, // 1,001 bytes per second, fraction dropped
    };
    for (const auto &[msecs, bytes, speed] : speeds)
        EXPECT_EQ(formatSpeed(msecs, bytes), QLatin1String(speed)) << msecs << " " << bytes;

    const std::pair<qint64, const char *> sizes[] = {
        {0, "0.0"}, {49, "0.0"}, {50, "0.1"}, {512, "0.5"}, {999950, "1,000.0"}, {1234567, "1,234.6"},
    };
    for (const auto &[bytes, text] : sizes)
        EXPECT_EQ(formatKb(bytes), QLatin1String(text)) << bytes;
}
