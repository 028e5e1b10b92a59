#include "binary_encoders.h"

namespace kestrel::newsd {

QByteArray yencLines(QByteArrayView data, int lineLength)
{
    QByteArray out;
    out.reserve(data.size() + data.size() / 32 + 64);
    int column = 0;
    for (qsizetype i = 0; i < data.size(); ++i) {
        const auto c = static_cast<unsigned char>((static_cast<unsigned char>(data[i]) + 42) & 0xFF);
        const bool edge = column == 0 || column >= lineLength - 1 || i + 1 == data.size();
        const bool escape = c == 0 || c == '\n' || c == '\r' || c == '=' || (edge && (c == '\t' || c == ' '));
        if (escape) {
            out += '=';
            out += char((c + 64) & 0xFF);
            column += 2;
        } else {
            out += char(c);
            ++column;
        }
        if (column >= lineLength) {
            out += "\r\n";
            column = 0;
        }
    }
    if (column > 0)
        out += "\r\n";
    return out;
}

QByteArray uuencodeLines(QByteArrayView data)
{
    const auto encode = [](int v) { return v == 0 ? '`' : char(v + 32); };
    QByteArray out;
    for (qsizetype pos = 0; pos < data.size(); pos += 45) {
        const qsizetype n = std::min<qsizetype>(45, data.size() - pos);
        out += encode(int(n));
        for (qsizetype i = 0; i < n; i += 3) {
            unsigned char b[3] = {0, 0, 0};
            for (qsizetype k = 0; k < 3 && i + k < n; ++k)
                b[k] = static_cast<unsigned char>(data[pos + i + k]);
            out += encode(b[0] >> 2);
            out += encode(((b[0] & 0x03) << 4) | (b[1] >> 4));
            out += encode(((b[1] & 0x0F) << 2) | (b[2] >> 6));
            out += encode(b[2] & 0x3F);
        }
        out += "\r\n";
    }
    return out;
}

} // namespace kestrel::newsd
