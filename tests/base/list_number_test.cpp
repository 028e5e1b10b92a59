#include "base/format_speed.h"
#include "base/list_number.h"

#include <gtest/gtest.h>

#include <limits>

namespace kestrel {
namespace {

TEST(ListNumber, StoredTextComesBackExactlyAndReadsAsTheScanReadsIt)
{
    constexpr qint64 max = std::numeric_limits<qint64>::max();
    struct Case {
        const char *text;
        int digits;
        bool blank, kept;
        qint64 value;
    } cases[] = {
        {"", 5, true, false, 0},
        {"00120", 5, false, false, 120},
        {"120", 5, false, true, 120},
        {"0120", 0, false, true, 120},
        {"-00005", 5, false, false, -5},
        {"-0", 0, false, true, 0},
        {"+7", 0, false, true, 7},
        {" 42", 0, false, true, 42},
        {"12.9", 0, false, true, 12},
        {"abc", 0, false, true, 0},
        {"9223372036854775807", 0, false, false, max},
        {"1000000000000000019884624838656", 5, false, true, max},
        {"-1e30", 0, false, true, std::numeric_limits<qint64>::min()},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        const ListNumber n = ListNumber::fromText(c.text, c.digits);
        EXPECT_EQ(n.text(c.digits), QByteArray(c.text));
        EXPECT_EQ(n.isBlank(), c.blank);
        EXPECT_EQ(n.value(), c.blank ? std::nullopt : std::optional<qint64>(c.value));
        // Kept text is not what the number alone would give back.
        EXPECT_EQ(n == ListNumber(c.value), !c.blank && !c.kept);
    }
}

TEST(ListNumber, PaddingCountsDigitsAfterTheSign)
{
    EXPECT_EQ(ListNumber(7).text(2), "07");
    EXPECT_EQ(ListNumber(-7).text(3), "-007");
    EXPECT_EQ(ListNumber(123456).text(5), "123456");
    EXPECT_EQ(ListNumber(std::numeric_limits<qint64>::min()).text(5), "-9223372036854775808");
    EXPECT_TRUE(ListNumber().text(5).isEmpty());
}

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

} // namespace
} // namespace kestrel
