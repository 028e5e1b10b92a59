#include "codecs_test_support.h"

#include <zlib.h>

namespace kestrel::test {

quint32 crc32Of(const QByteArray &bytes)
{
    return static_cast<quint32>(
        crc32(0L, reinterpret_cast<const Bytef *>(bytes.constData()), static_cast<uInt>(bytes.size())));
}

QByteArray yencEncodeBody(const QByteArray &bytes, int lineLength)
{
    QByteArray out;
    int column = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto c = static_cast<unsigned char>((static_cast<unsigned char>(bytes[i]) + 42) & 0xFF);
        const bool lineStart = column == 0;
        const bool lineEnd = column + 1 >= lineLength || i + 1 == bytes.size();
        bool escape = c == 0 || c == '\n' || c == '\r' || c == '=';
        escape = escape || ((c == '\t' || c == ' ') && (lineStart || lineEnd));
        escape = escape || (c == '.' && lineStart);
        if (escape) {
            out.append('=');
            out.append(static_cast<char>((c + 64) & 0xFF));
            column += 2;
        } else {
            out.append(static_cast<char>(c));
            ++column;
        }
        if (column >= lineLength) {
            out.append("\r\n");
            column = 0;
        }
    }
    if (column > 0)
        out.append("\r\n");
    return out;
}

QByteArray yencArticle(const YencPost &post)
{
    const QByteArray crc = QByteArray::number(crc32Of(post.data), 16).rightJustified(8, '0');
    QByteArray a = "From: poster@example.invalid\r\nSubject: \"pic.jpg\" yEnc\r\n\r\n";
    if (post.part == 0) {
        a += "=ybegin line=" + QByteArray::number(post.lineLength) +
             " size=" + QByteArray::number(post.data.size()) + " name=pic.jpg\r\n";
        a += yencEncodeBody(post.data, post.lineLength);
        return a + "=yend size=" + QByteArray::number(post.data.size()) + " crc32=" + crc + "\r\n";
    }
    const QByteArray piece = post.data.mid(post.begin - 1, post.end - post.begin + 1);
    const QByteArray pcrc = QByteArray::number(crc32Of(piece), 16).rightJustified(8, '0');
    a += "=ybegin part=" + QByteArray::number(post.part) +
         " total=9 line=" + QByteArray::number(post.lineLength) +
         " size=" + QByteArray::number(post.data.size()) + " name=pic.jpg\r\n";
    a += "=ypart begin=" + QByteArray::number(post.begin) + " end=" + QByteArray::number(post.end) + "\r\n";
    a += yencEncodeBody(piece, post.lineLength);
    return a + "=yend size=" + QByteArray::number(piece.size()) + " part=" + QByteArray::number(post.part) +
           " pcrc32=" + pcrc + " crc32=" + crc + "\r\n";
}

} // namespace kestrel::test
