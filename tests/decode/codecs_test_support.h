#pragma once

#include "decode/decode_hooks.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <random>
#include <vector>

namespace kestrel::test {

// Collects what a decoder logs, split into log entries and status-line messages.
struct DecodeLogRecorder {
    QStringList logged;
    QStringList status;
    std::vector<std::pair<qint64, qint64>> progress;

    DecodeHooks hooks()
    {
        DecodeHooks h;
        h.log = [this](const QString &m, bool toLog) { (toLog ? logged : status).append(m); };
        h.progress = [this](qint64 i, qint64 t) { progress.emplace_back(i, t); };
        return h;
    }
};

// A JFIF picture skeleton that passes the picture test: identifier at bytes 7-10, a
// baseline start-of-frame marker at offset 20 and the end-of-image marker last.
inline QByteArray jpegPicture(qsizetype length = 2000)
{
    QByteArray p(length, 'x');
    p.replace(0, 11, QByteArray("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00", 11));
    p.replace(20, 2, "\xFF\xC0");
    p.replace(length - 2, 2, "\xFF\xD9");
    return p;
}

inline QByteArray randomBytes(std::size_t n, std::uint32_t seed)
{
    std::mt19937 rng(seed);
    QByteArray b(static_cast<qsizetype>(n), Qt::Uninitialized);
    for (auto &c : b)
        c = static_cast<char>(rng() & 0xFF);
    return b;
}

// A yEnc encoder written from the yEnc 1.3 rules, independent of the decoder: NUL, LF,
// CR and '=' are always escaped, TAB and SPACE at either end of a line and '.' at the
// start of a line too. The file is named pic.jpg.
struct YencPost {
    QByteArray data;  // the whole file
    qint64 begin = 0; // 1-based; 0 for a single-part post
    qint64 end = 0;   // last byte of the part, 1-based
    int part = 0;     // 0: single part
    int lineLength = 128;
};

QByteArray yencEncodeBody(const QByteArray &bytes, int lineLength);
QByteArray yencArticle(const YencPost &post);
quint32 crc32Of(const QByteArray &bytes);

} // namespace kestrel::test
