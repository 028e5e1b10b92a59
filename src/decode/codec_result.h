#pragma once

#include <QByteArray>
#include <QString>

namespace kestrel {

// What one of the text decoders (uuencode, base64) made of its data.
struct CodecResult {
    QByteArray bytes;
    QString error; // empty when the data decoded cleanly
    bool ok() const { return error.isEmpty(); }
};

} // namespace kestrel
