#include "groups/list_numbers.h"

#include <QLocale>

namespace kestrel {

namespace {

// Whole digits with the group separator; empty for zero.
QString groupedDigits(qint64 value)
{
    if (value == 0)
        return QString();
    QLocale locale = QLocale::system();
    locale.setNumberOptions(QLocale::DefaultNumberOptions);
    return locale.toString(value);
}

} // namespace

QString kbWhole(qint64 bytes)
{
    // Rounded half up, as the count is never negative.
    return groupedDigits((bytes + 512) / 1024);
}

QString kbOneDecimal(qint64 bytes)
{
    const qint64 tenths = (bytes * 10 + 512) / 1024;
    return groupedDigits(tenths / 10) + QLocale::system().decimalPoint() + QString::number(tenths % 10);
}

qint64 leadingNumber(QByteArrayView text)
{
    qsizetype i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    qint64 value = 0;
    for (int digits = 0; i < text.size() && text[i] >= '0' && text[i] <= '9' && digits < 18; ++i, ++digits)
        value = value * 10 + (text[i] - '0');
    return negative ? -value : value;
}

QString estimateText(qint64 estimate)
{
    if (estimate == -1 || estimate > 90999)
        return QStringLiteral(" ? ");
    const QString digits =
        QStringLiteral("%1").arg(estimate < 0 ? -estimate : estimate, 5, 10, QLatin1Char('0'));
    return estimate < 0 ? QLatin1Char('-') + digits : digits;
}

} // namespace kestrel
