#include "bench_picture_store.h"

#include "newsd/binary_encoders.h"
#include "newsd/sample_jpeg.h"

#include <zlib.h>

namespace kestrel::bench {

PictureStore::PictureStore(QByteArray group, qint64 count, qsizetype pictureBytes)
    : m_group(std::move(group)), m_count(count)
{
    m_picture = newsd::makeSampleJpeg(640, 480, pictureBytes, 7);
    const QByteArray yenc = newsd::yencLines(m_picture);
    m_yencLines = yenc.count('\n');
    const quint32 crc =
        quint32(crc32(0L, reinterpret_cast<const Bytef *>(m_picture.constData()), uInt(m_picture.size())));
    const QByteArray size = QByteArray::number(m_picture.size());
    m_body = "=ybegin line=128 size=" + size + " name=bench.jpg\r\n" + yenc + "=yend size=" + size +
             " crc32=" + QByteArray::number(crc, 16).rightJustified(8, '0') + "\r\n";
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
    return m_body; // shared, not copied
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
    const qint64 bytes = head(group, number).size() + 2 + m_body.size();
    return subjectOf(number) + "\tBench Poster <bench@example.com>\tSun, 06 Dec 2026 12:00:00 +0000\t" +
           messageIdOf(number) + "\t\t" + QByteArray::number(bytes) + '\t' +
           QByteArray::number(m_yencLines + 2);
}

} // namespace kestrel::bench
