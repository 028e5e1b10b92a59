#include "nntp/transfer_text.h"

#include <gtest/gtest.h>

using namespace kestrel;

TEST(TransferText, SpeedIsMeasuredInMilliseconds)
{
    const QDateTime start(QDate(2026, 1, 1), QTime(9, 0, 0));
    const std::tuple<qint64, qint64, const char *> cases[] = {
        {0, 5000, "5,000.00"}, {-1000, 5000, "0.00"},    {250, 100000, "400.00"},
        {2999, 1234, "0.41"},  {1000, 123456, "123.46"}, {1, 1234567, "1,234,567.00"},
    };
    for (const auto &[msecs, bytes, text] : cases)
        EXPECT_EQ(transferSpeedText(start, start.addMSecs(msecs), bytes), QLatin1String(text)) << msecs;
}
