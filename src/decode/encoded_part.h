#pragma once

#include <QByteArrayView>

namespace kestrel {

// Where the encoded data of an article starts: header lines, a body request's status
// line and anything before a uuencode begin line are cut off.
struct EncodedPart {
    qsizetype start = 0;
    // A "begin 644" line lies at or after `start`; without one the name check of the
    // no-re-download list has nothing to compare.
    bool uuencoded = false;
};

EncodedPart locateEncodedPart(QByteArrayView article, bool hasHeaders);

} // namespace kestrel
