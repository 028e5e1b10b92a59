#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace kestrel {

// Undoes the NNTP dot-stuffing of an article text: every line after the first that
// begins with ".." loses one dot. The first line has no CR LF before it and stays.
QByteArray unstuffDots(QByteArrayView text);

// The same without a copy when nothing is stuffed: returns `text` itself, or the
// unstuffed text written into `scratch`, whose memory is reused from call to call.
QByteArrayView unstuffDots(QByteArrayView text, QByteArray &scratch);

} // namespace kestrel
