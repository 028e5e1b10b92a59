#include "sample_jpeg.h"

#include <QRandomGenerator>

namespace kestrel::newsd {

namespace {

void put16(QByteArray &out, int value)
{
    out += char((value >> 8) & 0xFF);
    out += char(value & 0xFF);
}

void marker(QByteArray &out, unsigned char code)
{
    out += char(0xFF);
    out += char(code);
}

// A Huffman table with a single one-bit code "0" for symbol 0: category 0 as DC table,
// end-of-block as AC table.
void singleCodeTable(QByteArray &out, unsigned char classAndId)
{
    marker(out, 0xC4);
    put16(out, 2 + 1 + 16 + 1);
    out += char(classAndId);
    out += char(1);
    out += QByteArray(15, '\0');
    out += char(0);
}

QByteArray filler(qsizetype size, QRandomGenerator &random)
{
    QByteArray out(size, '\0');
    for (char &c : out) {
        c = char(random.bounded(256));
        if (c == 'G' || c == 'g')
            c = 'h';
    }
    return out;
}

} // namespace

QByteArray makeSampleJpeg(int width, int height, qsizetype size, quint32 seed)
{
    QRandomGenerator random(seed);
    QByteArray head;
    marker(head, 0xD8);
    marker(head, 0xE0);
    put16(head, 16);
    head += QByteArray("JFIF\0\1\1\0\0\1\0\1\0\0", 14);

    marker(head, 0xDB);
    put16(head, 2 + 1 + 64);
    head += char(0);
    for (int i = 0; i < 64; ++i)
        head += char(1 + (i % 16));

    marker(head, 0xC0);
    put16(head, 8 + 3);
    head += char(8);
    put16(head, height);
    put16(head, width);
    head += char(1);
    head += QByteArray("\1\x11\0", 3);

    singleCodeTable(head, 0x00);
    singleCodeTable(head, 0x10);

    QByteArray scan;
    marker(scan, 0xDA);
    put16(scan, 6 + 2);
    scan += QByteArray("\1\1\0\0\x3f\0", 6);
    // Each block is two zero bits (DC category 0, end of block); the last byte is padded
    // with one bits, as the format asks.
    const qint64 blocks = qint64((width + 7) / 8) * ((height + 7) / 8);
    const qint64 bits = blocks * 2;
    scan += QByteArray(bits / 8, '\0');
    if (bits % 8)
        scan += char(0xFF >> (bits % 8));
    marker(scan, 0xD9);

    qsizetype room = size - head.size() - scan.size();
    while (room > 4) {
        const qsizetype payload = std::min<qsizetype>(room - 4, 65533);
        marker(head, 0xFE);
        put16(head, int(payload + 2));
        head += filler(payload, random);
        room -= payload + 4;
    }
    return head + scan;
}

} // namespace kestrel::newsd
