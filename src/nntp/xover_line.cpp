#include "nntp/xover_line.h"

#include "base/number_text.h"
#include "base/text_util.h"

#include <array>

namespace kestrel {

QByteArray linesFromBytes(QByteArrayView bytes)
{
    const double value = numericValue(bytes) / 63.0;
    QByteArray text = QByteArray::number(value, 'g', 15);
    return value < 0 ? text : ' ' + text;
}

bool parseXoverLine(QByteArrayView line, QByteArray &block, QByteArrayView &number)
{
    qsizetype tab = line.indexOf('\t');
    if (tab < 0)
        return false;
    number = line.first(tab);
    QByteArrayView rest = line.sliced(tab + 1);

    // subject, from, date, message-id, references, bytes, lines
    std::array<QByteArrayView, 7> fields{};
    for (QByteArrayView &field : fields) {
        tab = rest.indexOf('\t');
        if (tab < 0) {
            field = rest;
            rest = {};
            break;
        }
        field = rest.first(tab);
        rest = rest.sliced(tab + 1);
    }

    static const char *const names[] = {
        "Subject: ", "From: ", "Date: ", "Message-ID: ", "References: ", "Bytes: ", "Lines: "};
    block.resize(0);
    for (size_t i = 0; i < 6; ++i) {
        block.append(names[i]);
        block.append(fields[i]);
        block.append("\r\n");
    }
    block.append(names[6]);
    if (!fields[6].isEmpty())
        block.append(fields[6]);
    else if (!fields[5].isEmpty())
        block.append(linesFromBytes(fields[5]));
    else
        block.append(numBytes(1000));
    block.append("\r\n\r\n");
    block.append(rest);
    block.append("\r\r\n");
    return true;
}

} // namespace kestrel
