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

} // namespace
} // namespace kestrel
