#include "bench_picture_store.h"

#include "newsd/binary_encoders.h"
#include "newsd/sample_jpeg.h"

#include <zlib.h>

namespace kestrel::bench {

PictureStore::PictureStore(QByteArray group, qint64 count, qsizetype pictureBytes)
    : m_group(std::move(group)), m_count(count)
{
    m_picture = newsd::makeSampleJpeg(640, 480, pictureBytes, 7);
    m_yenc = newsd::yencLines(m_picture);
    m_yencLines = m_yenc.count('\n');
    const quint32 crc =
        quint32(crc32(0L, reinterpret_cast<const Bytef *>(m_picture.constData()), uInt(m_picture.size())));
    m_crc = QByteArray::number(crc, 16).rightJustified(8, '0');
}

QByteArray PictureStore::fileNameOf(qint64 number)
{
    return "bench_" + QByteArray::number(number).rightJustified(6, '0') + ".jpg";
}

QByteArray PictureStore::subjectOf(qint64 number) const
{
    return "bench set - \"" + fileNameOf(number) + "\" yEnc (1/1)";
}

QByteArray PictureStore::messageIdOf(qint64 number) const
{
    return '<' + QByteArray::number(number) + ".bench@newsd.example>";
}

qsizetype PictureStore::bodySize(qint64 number) const
{
    const qsizetype sizeDigits = QByteArray::number(m_picture.size()).size();
    return qsizetype(sizeof("=ybegin line=128 size= name=\r\n") - 1) + sizeDigits +
           fileNameOf(number).size() + m_yenc.size() + qsizetype(sizeof("=yend size= crc32=\r\n") - 1) +
           sizeDigits + m_crc.size();
}

QList<newsd::GroupInfo> PictureStore::groups() const
{
    return {newsd::GroupInfo{m_group, 1, m_count, m_count}};
}

bool PictureStore::has(QByteArrayView group, qint64 number) const
{
    return group == m_group && number >= 1 && number <= m_count;
}

QByteArray PictureStore::head(QByteArrayView group, qint64 number) const
{
    if (!has(group, number))
        return {};
    return "From: Bench Poster <bench@example.com>\r\nNewsgroups: " + m_group +
           "\r\nSubject: " + subjectOf(number) +
           "\r\nDate: Sun, 06 Dec 2026 12:00:00 +0000\r\nLines: " + QByteArray::number(m_yencLines + 2) +
           "\r\nMessage-ID: " + messageIdOf(number) + "\r\n";
}

QByteArray PictureStore::body(QByteArrayView group, qint64 number) const
{
    if (!has(group, number))
        return {};
    const QByteArray size = QByteArray::number(m_picture.size());
    const QByteArray begin = "=ybegin line=128 size=" + size + " name=" + fileNameOf(number) + "\r\n";
    const QByteArray end = "=yend size=" + size + " crc32=" + m_crc + "\r\n";
    QByteArray out;
    out.reserve(begin.size() + m_yenc.size() + end.size());
    out += begin;
    out += m_yenc;
    out += end;
    return out;
}

QByteArray PictureStore::article(QByteArrayView group, qint64 number) const
{
    if (!has(group, number))
        return {};
    return head(group, number) + "\r\n" + body(group, number);
}

QByteArray PictureStore::overviewFields(QByteArrayView group, qint64 number) const
{
    if (!has(group, number))
        return {};
    const qint64 bytes = head(group, number).size() + 2 + bodySize(number);
    return subjectOf(number) + "\tBench Poster <bench@example.com>\tSun, 06 Dec 2026 12:00:00 +0000\t" +
           messageIdOf(number) + "\t\t" + QByteArray::number(bytes) + '\t' +
           QByteArray::number(m_yencLines + 2);
}

} // namespace kestrel::bench
