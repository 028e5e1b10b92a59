#pragma once

#include <QByteArray>

namespace kestrel::newsd {

// A small baseline JFIF picture that decoders accept: one grey component, every 8x8
// block flat mid-grey, padded with comment segments of seeded filler up to `size`
// bytes (never below the few hundred bytes the markers need). The filler never holds
// the letters "GIF" in any case.
QByteArray makeSampleJpeg(int width, int height, qsizetype size, quint32 seed);

} // namespace kestrel::newsd
