#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

namespace kestrel::newsd {

enum class PartEncoding { Yenc, Uuencode };

struct PartPost {
    int number = 0;     // k, from 1
    int total = 0;      // n
    QByteArray subject; // yEnc: "<prefix>\"name\" yEnc (k/n)"; uuencode: "<prefix>name (k/n)"
    QByteArray body;    // the body lines, each ended by CR LF, not dot-stuffed
    qint64 lines = 0;   // body line count
};

// Splits data into `total` nearly equal parts. yEnc 1.3 multi-part: "=ybegin part=k total=n line=128 size=S
// name=N", "=ypart begin=B end=E" (1-based, inclusive), the data lines, "=yend size=P part=k pcrc32=X
// crc32=Y" (crc32 of the whole file on every part). uuencode: part 1 starts with "begin 644 name", the last
// ends with "`" and "end"; the uuencoded lines are cut between parts at line boundaries. Every part carries
// data: empty when total < 1 or when there is less to share than total parts (bytes for yEnc, 45-byte lines
// for uuencode).
QList<PartPost> multiPartPosts(QByteArrayView data, const QByteArray &fileName, int total,
                               PartEncoding encoding, QByteArrayView subjectPrefix = {});

// A whole article for FolderStore::writeArticle: From, Subject, Newsgroups, Date, Message-ID, Lines headers,
// an empty line, the body.
QByteArray multiPartArticle(const PartPost &part, const QByteArray &group, const QByteArray &from);

} // namespace kestrel::newsd
