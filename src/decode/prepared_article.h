#pragma once

#include "decode/decode_file.h"
#include "decode/encoded_part.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

namespace kestrel {

// An article unstuffed and decoded in memory, ready for the decode pipeline to write,
// test and file. Made by prepareArticle, which touches neither files nor the program's
// state, so it may run on any thread.
struct PreparedArticle {
    struct Message {
        QString text;
        bool toLog = false;
    };

    QByteArray article;   // as received, still dot-stuffed
    EncodedPart part;     // where its encoded data starts
    QByteArray unstuffed; // the encoded part unstuffed; empty when nothing was stuffed
    bool stuffed = false;
    DecodeOutcome outcome;    // in memory: yEnc bytes too
    QList<Message> messages;  // what the decoder said, in order
    QString destinationToken; // stands in the messages for the picture's path
    // jpegCheckBytes of the decoded bytes, when decoding gave any: the picture test
    // then needs neither the file nor the thread that files it.
    std::optional<int> pictureCheck;

    QByteArrayView unstuffedText() const
    {
        return stuffed ? QByteArrayView(unstuffed) : QByteArrayView(article).sliced(part.start);
    }
    // A message as the log shows it once the picture's path is known.
    QString shown(const QString &text, const QString &destination) const
    {
        QString s = text;
        return s.replace(destinationToken, destination);
    }
};

// progress, when given, is called as the decoder reports its progress on a large
// article (see DecodeHooks::progress), on the calling thread.
PreparedArticle prepareArticle(QByteArray article, bool hasHeaders,
                               const std::function<void(qint64 index, qint64 total)> &progress = {});

} // namespace kestrel
