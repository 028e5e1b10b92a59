#pragma once

#include "multipart_posts.h"

#include <array>
#include <optional>

namespace kestrel::newsd {

struct SampleGroup;

// The pictures a sample group posts in several parts, and where their parts sit. The
// parts take every third article number from the group's second one on (the next
// number when that one is missing), picture after picture, each picture's parts in its
// own posting order, so most arrive out of part order.
struct PartedSample {
    PartEncoding encoding = PartEncoding::Yenc;
    int total = 0;
    qsizetype size = 0; // bytes of the picture, before the seed's small change
    int width = 0;
    int height = 0;
    const char *subjectPrefix = "";
    const char *from = "";
    std::array<int, 8> postingOrder{}; // part numbers, from 1, in the order they are posted
};

int partedSampleCount();
const PartedSample &partedSample(int index);

struct PartSlot {
    int picture = 0; // index of partedSample
    int part = 0;    // from 1
};

// Which part an article number holds, whether or not the group has the article.
std::optional<PartSlot> partSlotAt(const SampleGroup &group, qint64 number);
qint64 partSlotNumber(const SampleGroup &group, PartSlot slot);

QByteArray partedFileName(int picture, int groupIndex);

// A parted picture's JPEG and its parts, made whole for one group.
struct PartedPicture {
    QByteArray fileName;
    QByteArray data;
    QList<PartPost> parts;
};
PartedPicture makePartedPicture(int picture, int groupIndex, quint32 seed);

} // namespace kestrel::newsd
