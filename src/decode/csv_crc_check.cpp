#include "decode/csv_index.h"
#include "decode/file_crc.h"

#include "base/context.h"
#include "base/number_text.h"

namespace kestrel {

bool CsvIndex::csvCheckCrc(Context &ctx, const QString &path, const QByteArray &fileName)
{
    return csvCheckCrc(ctx, fileCrc32(path), fileName);
}

bool CsvIndex::csvCheckCrc(Context &ctx, std::optional<quint32> pictureCrc, const QByteArray &fileName)
{
    const QByteArray record = csvFindCrcRecord(fileName);
    QByteArray csvHex;
    if (record.contains(',')) {
        const qsizetype c1 = record.indexOf(',');
        const qsizetype c2 = record.indexOf(',', c1 + 1);
        const qsizetype c3 = c2 < 0 ? -1 : record.indexOf(',', c2 + 1);
        if (c3 < 0) {
            QByteArray shown = record;
            shown.chop(1); // the CR that ends every record
            ctx.writeLog(QStringLiteral("CSV record without CRC32 field: ") + displayText(shown), true);
            return false;
        }
        csvHex = record.mid(c2 + 1, c3 - c2 - 1);
    }

    const std::optional<quint32> csvCrc = crcTextValue(csvHex);
    const QString name = displayText(fileName);
    if (pictureCrc && csvCrc && *pictureCrc == *csvCrc) {
        ctx.writeLog(name + QStringLiteral(" CRC32 VERIFIED"), true);
        return true;
    }
    const QByteArray fileHex = pictureCrc ? QByteArray::number(*pictureCrc, 16).toUpper() : QByteArray();
    ctx.writeLog(QStringLiteral("CRC32 INVALID (CSV:") + displayText(csvHex) + QStringLiteral("  ") + name +
                     QLatin1Char(':') + displayText(fileHex) + QLatin1Char(')'),
                 true);
    return false;
}

} // namespace kestrel
