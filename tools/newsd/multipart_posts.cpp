#include "multipart_posts.h"

#include "binary_encoders.h"

#include <zlib.h>

namespace kestrel::newsd {

namespace {

constexpr qsizetype kUuBytesPerLine = 45;

quint32 crcOf(QByteArrayView data)
{
    return quint32(crc32(0L, reinterpret_cast<const Bytef *>(data.data()), uInt(data.size())));
}

QByteArray hex8(quint32 value)
{
    return QByteArray::number(value, 16).rightJustified(8, '0');
}

QByteArray counter(int k, int n)
{
    return " (" + QByteArray::number(k) + '/' + QByteArray::number(n) + ')';
}

// Where part k (from 0) starts when `count` units are shared by `total` parts.
qsizetype cut(qsizetype count, int k, int total)
{
    return qsizetype(qint64(count) * k / total);
}

QList<PartPost> yencParts(QByteArrayView data, const QByteArray &fileName, int total, QByteArrayView prefix)
{
    const QByteArray wholeCrc = hex8(crcOf(data));
    const QByteArray wholeSize = QByteArray::number(data.size());
    QList<PartPost> out;
    for (int k = 0; k < total; ++k) {
        const qsizetype begin = cut(data.size(), k, total);
        const QByteArrayView slice = data.sliced(begin, cut(data.size(), k + 1, total) - begin);
        const QByteArray number = QByteArray::number(k + 1);
        PartPost part;
        part.number = k + 1;
        part.total = total;
        part.subject = prefix.toByteArray() + '"' + fileName + "\" yEnc" + counter(k + 1, total);
        part.body = "=ybegin part=" + number + " total=" + QByteArray::number(total) +
                    " line=128 size=" + wholeSize + " name=" + fileName + "\r\n";
        part.body += "=ypart begin=" + QByteArray::number(begin + 1) +
                     " end=" + QByteArray::number(begin + slice.size()) + "\r\n";
        part.body += yencLines(slice);
        part.body += "=yend size=" + QByteArray::number(slice.size()) + " part=" + number +
                     " pcrc32=" + hex8(crcOf(slice)) + " crc32=" + wholeCrc + "\r\n";
        part.lines = part.body.count('\n');
        out.append(part);
    }
    return out;
}

QList<PartPost> uuencodedParts(QByteArrayView data, const QByteArray &fileName, int total,
                               QByteArrayView prefix)
{
    const qsizetype lineCount = (data.size() + kUuBytesPerLine - 1) / kUuBytesPerLine;
    QList<PartPost> out;
    for (int k = 0; k < total; ++k) {
        const qsizetype begin = cut(lineCount, k, total) * kUuBytesPerLine;
        const qsizetype end = std::min(data.size(), cut(lineCount, k + 1, total) * kUuBytesPerLine);
        PartPost part;
        part.number = k + 1;
        part.total = total;
        part.subject = prefix.toByteArray() + fileName + counter(k + 1, total);
        if (k == 0)
            part.body = "begin 644 " + fileName + "\r\n";
        part.body += uuencodeLines(data.sliced(begin, end - begin));
        if (k + 1 == total)
            part.body += "`\r\nend\r\n";
        part.lines = part.body.count('\n');
        out.append(part);
    }
    return out;
}

} // namespace

QList<PartPost> multiPartPosts(QByteArrayView data, const QByteArray &fileName, int total,
                               PartEncoding encoding, QByteArrayView subjectPrefix)
{
    if (total < 1)
        return {};
    if (encoding == PartEncoding::Yenc)
        return data.size() < total ? QList<PartPost>() : yencParts(data, fileName, total, subjectPrefix);
    if ((data.size() + kUuBytesPerLine - 1) / kUuBytesPerLine < total)
        return {};
    return uuencodedParts(data, fileName, total, subjectPrefix);
}

QByteArray multiPartArticle(const PartPost &part, const QByteArray &group, const QByteArray &from)
{
    // The id only has to differ between the parts and pictures of one test's groups and stay the same from
    // run to run, so it is made from what tells them apart.
    const QByteArray id = hex8(crcOf(group + '\n' + part.subject + '\n' + from)) + '.' +
                          QByteArray::number(part.number) + '.' + QByteArray::number(part.total);
    QByteArray out;
    out.reserve(part.body.size() + 512);
    out += "From: " + from + "\r\n";
    out += "Subject: " + part.subject + "\r\n";
    out += "Newsgroups: " + group + "\r\n";
    out += "Date: Sun, 06 Dec 2026 12:00:00 +0000\r\n";
    out += "Message-ID: <" + id + "@newsd.example>\r\n";
    out += "Lines: " + QByteArray::number(part.lines) + "\r\n";
    out += "\r\n";
    out += part.body;
    return out;
}

} // namespace kestrel::newsd
