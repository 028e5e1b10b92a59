#include "sample_parts.h"

#include "sample_jpeg.h"
#include "sample_store.h"

#include <algorithm>

namespace kestrel::newsd {

namespace {

constexpr qint64 kSlotStride = 3;

// Sizes a camera makes and posting tools split: every part within the default line
// window of the filter (100 to 4000 lines).
const PartedSample kSamples[] = {
    {PartEncoding::Yenc, 2, 350'000, 1024, 768, "", "Gina Lens <gina@photo.example.org>", {2, 1}},
    {PartEncoding::Yenc,
     5,
     1'400'000,
     2048,
     1536,
     "Holiday 2026 - ",
     "Hal <hal.pics@example.net>",
     {3, 1, 5, 2, 4}},
    {PartEncoding::Yenc,
     8,
     2'900'000,
     4000,
     3000,
     "Garden walk - ",
     "Gina Lens <gina@photo.example.org>",
     {5, 6, 7, 8, 1, 2, 3, 4}},
    {PartEncoding::Uuencode,
     4,
     500'000,
     1280,
     960,
     "old scans - ",
     "Ivo <ivo@scans.example.com>",
     {1, 2, 3, 4}},
};

constexpr int kSampleCount = int(std::size(kSamples));

int slotCount()
{
    int n = 0;
    for (const PartedSample &s : kSamples)
        n += s.total;
    return n;
}

bool isGap(const SampleGroup &group, qint64 number)
{
    return group.gapEvery > 0 && number % group.gapEvery == 0;
}

std::optional<PartSlot> slotOfIndex(int index)
{
    for (int picture = 0; picture < kSampleCount; ++picture) {
        const PartedSample &s = kSamples[picture];
        if (index < s.total)
            return PartSlot{picture, s.postingOrder[size_t(index)]};
        index -= s.total;
    }
    return std::nullopt;
}

} // namespace

int partedSampleCount()
{
    return kSampleCount;
}

const PartedSample &partedSample(int index)
{
    return kSamples[index];
}

std::optional<PartSlot> partSlotAt(const SampleGroup &group, qint64 number)
{
    qint64 base = number;
    if ((number - group.first - 1) % kSlotStride == 1 && isGap(group, number - 1))
        base = number - 1;
    const qint64 offset = base - group.first - 1;
    if (offset < 0 || offset % kSlotStride != 0 || offset / kSlotStride >= slotCount())
        return std::nullopt;
    if (base == number && isGap(group, number))
        return std::nullopt;
    return slotOfIndex(int(offset / kSlotStride));
}

qint64 partSlotNumber(const SampleGroup &group, PartSlot slot)
{
    qint64 index = 0;
    for (int picture = 0; picture < slot.picture; ++picture)
        index += kSamples[picture].total;
    const std::array<int, 8> &order = kSamples[slot.picture].postingOrder;
    index += std::find(order.begin(), order.end(), slot.part) - order.begin();
    const qint64 number = group.first + 1 + kSlotStride * index;
    return isGap(group, number) ? number + 1 : number;
}

QByteArray partedFileName(int picture, int groupIndex)
{
    return "IMG_" + QByteArray::number(4000 + 10 * groupIndex + picture) + ".jpg";
}

PartedPicture makePartedPicture(int picture, int groupIndex, quint32 seed)
{
    const PartedSample &s = kSamples[picture];
    PartedPicture out;
    out.fileName = partedFileName(picture, groupIndex);
    const quint32 pictureSeed = seed * 7919u + quint32(groupIndex) * 104'729u + quint32(picture);
    out.data = makeSampleJpeg(s.width, s.height, s.size + pictureSeed % 40'000, pictureSeed);
    out.parts = multiPartPosts(out.data, out.fileName, s.total, s.encoding, s.subjectPrefix);
    return out;
}

} // namespace kestrel::newsd
