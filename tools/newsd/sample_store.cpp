#include "sample_store.h"

#include "binary_encoders.h"
#include "sample_jpeg.h"
#include "sample_parts.h"

#include <QDate>

#include <zlib.h>

namespace kestrel::newsd {

namespace {

constexpr int kPictureVariants = 24;

quint64 mix(quint64 x)
{
    // splitmix64: cheap and well spread, so neighbouring numbers look unrelated.
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31);
}

template <typename T, size_t N> const T &pick(const T (&table)[N], quint64 h)
{
    return table[h % N];
}

QByteArray padded(qint64 n, int width)
{
    return QByteArray::number(n).rightJustified(width, '0');
}

QByteArray rfcDate(qint64 number)
{
    static const char *const days[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    static const char *const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const qint64 seconds = number * 61;
    const QDate day = QDate(2026, 1, 1).addDays(seconds / 86400);
    const qint64 s = seconds % 86400;
    QByteArray out = days[day.dayOfWeek() - 1];
    out += ", " + padded(day.day(), 2) + ' ' + months[day.month() - 1] + ' ' +
           QByteArray::number(day.year()) + ' ' + padded(s / 3600, 2) + ':' + padded(s / 60 % 60, 2) + ':' +
           padded(s % 60, 2) + " +0000";
    return out;
}

} // namespace

struct SampleStore::Picture {
    QByteArray data;
    QByteArray yenc;
    qint64 yencLineCount = 0;
    QByteArray uu;
    qint64 uuLineCount = 0;
    quint32 crc = 0;
};

struct SampleStore::Post {
    int groupIndex = 0;
    qint64 number = 0;
    SampleKind kind = SampleKind::TextPost;
    int variant = 0;
    QByteArray fileName, subject, from, organization, host, date, messageId, newsgroups, xref;
    QByteArray bodyStart, bodyEnd;
    const QByteArray *encoded = nullptr;
    qint64 bodyLines = 0;
    qint64 bodySize = 0;
};

SampleStore::SampleStore(QList<SampleGroup> groups, quint32 seed) : m_groups(std::move(groups)), m_seed(seed)
{
    m_pictures.resize(kPictureVariants);
}

SampleStore::~SampleStore() = default;

void SampleStore::addGroup(const SampleGroup &group)
{
    m_groups.append(group);
}

bool SampleStore::setRange(QByteArrayView group, qint64 first, qint64 last)
{
    const int i = indexOf(group);
    if (i < 0)
        return false;
    m_groups[i].first = first;
    m_groups[i].last = last;
    return true;
}

int SampleStore::indexOf(QByteArrayView group) const
{
    for (int i = 0; i < m_groups.size(); ++i) {
        if (m_groups[i].name == group)
            return i;
    }
    return -1;
}

QList<GroupInfo> SampleStore::groups() const
{
    QList<GroupInfo> out;
    for (const SampleGroup &g : m_groups) {
        GroupInfo info;
        info.name = g.name;
        info.first = g.first;
        info.last = g.last;
        qint64 count = std::max<qint64>(0, g.last - g.first + 1);
        if (g.gapEvery > 0 && count > 0)
            count -= g.last / g.gapEvery - (g.first - 1) / g.gapEvery;
        info.count = count;
        out.append(info);
    }
    return out;
}

bool SampleStore::has(QByteArrayView group, qint64 number) const
{
    const int i = indexOf(group);
    if (i < 0)
        return false;
    const SampleGroup &g = m_groups[i];
    return number >= g.first && number <= g.last && (g.gapEvery <= 0 || number % g.gapEvery != 0);
}

std::optional<qint64> SampleStore::nextAfter(QByteArrayView group, qint64 after) const
{
    const int i = indexOf(group);
    if (i < 0)
        return std::nullopt;
    qint64 n = std::max(after + 1, m_groups[i].first);
    if (!has(group, n))
        ++n; // gaps are never next to each other, unless gapEvery is 1 (then nothing exists)
    if (!has(group, n))
        return std::nullopt;
    return n;
}

const SampleStore::Picture &SampleStore::picture(int variant) const
{
    std::unique_ptr<Picture> &slot = m_pictures[variant];
    if (!slot) {
        slot = std::make_unique<Picture>();
        const int width = 160 + 32 * (variant % 8);
        const int height = 120 + 24 * (variant % 5);
        slot->data =
            makeSampleJpeg(width, height, 6000 + qsizetype(variant) * 4700, m_seed * 131u + quint32(variant));
        slot->yenc = yencLines(slot->data);
        slot->yencLineCount = slot->yenc.count('\n');
        slot->uu = uuencodeLines(slot->data);
        slot->uuLineCount = slot->uu.count('\n');
        slot->crc = quint32(
            crc32(0L, reinterpret_cast<const Bytef *>(slot->data.constData()), uInt(slot->data.size())));
    }
    return *slot;
}

std::optional<SampleStore::Post> SampleStore::post(QByteArrayView group, qint64 number) const
{
    if (!has(group, number))
        return std::nullopt;
    static const char *const themes[] = {"seaside", "mountain", "garden", "harbour",
                                         "city",    "forest",   "sunset", "meadow"};
    static const char *const posters[] = {
        "Ann Poster <ann.poster@example.com>", "bob@pictures.example (Bob)",
        "Carla <carla@mail.example.org>",      "Dieter Lang <dl@example.net>",
        "Eve <eve.snaps@example.com>",         "Frank \"Photo\" Moss <fmoss@example.org>"};
    static const char *const organizations[] = {"Example News Readers", "Picture Posters Guild",
                                                "Independent Photographers", "Home Users Network"};
    static const char *const spamSubjects[] = {"Make money fast!!!", "Cheap pills - best prices",
                                               "Work from home $$$", "Re: your account is suspended"};
    static const char *const otherGroups[] = {"alt.binaries.pictures.misc", "alt.binaries.misc", "alt.test",
                                              "alt.binaries.pictures.erotica.d"};

    Post p;
    p.groupIndex = indexOf(group);
    p.number = number;
    const quint64 h = mix(mix(quint64(m_seed) << 32 | quint64(p.groupIndex)) ^ quint64(number));
    const int roll = int(h % 20);
    p.kind = roll < 14   ? SampleKind::YencPicture
             : roll < 17 ? SampleKind::UuencodedPicture
                         : SampleKind::TextPost;
    p.variant = int((h >> 8) % kPictureVariants);
    const QByteArray num = padded(number, 6);
    const QByteArray theme = pick(themes, h >> 20);
    p.date = rfcDate(number);
    p.messageId = '<' + QByteArray::number(number) + '.' + QByteArray::number(p.groupIndex) + '.' +
                  QByteArray::number(m_seed) + "@newsd.example>";

    p.newsgroups = group.toByteArray();
    p.xref = "newsd.example " + p.newsgroups + ':' + QByteArray::number(number);
    if (makePartPost(p, h))
        return p;
    const int crossposts = (h >> 28) % 10 == 0 ? 2 : (h >> 28) % 25 == 1 ? 4 : 1;
    for (int i = 1; i < crossposts; ++i) {
        const QByteArray other = otherGroups[(h >> (32 + i)) % 4 + 0];
        if (other == p.newsgroups)
            continue;
        p.newsgroups += ',' + other;
        p.xref += ' ' + other + ':' + QByteArray::number(number / 3 + i);
    }

    if (p.kind == SampleKind::TextPost) {
        p.subject = pick(spamSubjects, h >> 36);
        p.from = "Cheap Deals <deals@bulk-mail.example>";
        p.organization = "Bulk Mail Inc.";
        p.host = "spam-relay.example.org";
        const int lines = 8 + int((h >> 40) % 30);
        for (int i = 0; i < lines; ++i)
            p.bodyStart += "Act now and earn more than ever before, line " + QByteArray::number(i) + ".\r\n";
        p.bodyLines = lines;
        p.bodySize = p.bodyStart.size();
        return p;
    }

    p.fileName = theme + '_' + num + ".jpg";
    p.from = pick(posters, h >> 36);
    p.organization = pick(organizations, h >> 44);
    p.host = "host-" + QByteArray::number((h >> 48) % 200) + ".dsl.example.net";
    const Picture &pic = picture(p.variant);
    const QByteArray size = QByteArray::number(pic.data.size());
    if (p.kind == SampleKind::YencPicture) {
        switch ((h >> 52) % 3) {
        case 0:
            p.subject = theme + " set " + num + " - \"" + p.fileName + "\" yEnc (1/1)";
            break;
        case 1:
            p.subject = '[' + num + "/999999] - \"" + p.fileName + "\" yEnc (1/1)";
            break;
        default:
            p.subject = '"' + p.fileName + "\" yEnc (1/1)";
            break;
        }
        p.bodyStart = "=ybegin line=128 size=" + size + " name=" + p.fileName + "\r\n";
        p.encoded = &pic.yenc;
        p.bodyEnd = "=yend size=" + size +
                    " crc32=" + QByteArray::number(pic.crc, 16).rightJustified(8, '0') + "\r\n";
        p.bodyLines = pic.yencLineCount + 2;
    } else {
        switch ((h >> 52) % 3) {
        case 0:
            p.subject = theme + " pics - " + p.fileName + " (1/1)";
            break;
        case 1:
            p.subject = p.fileName + " (1/1)";
            break;
        default:
            p.subject = '"' + p.fileName + "\" (1/1)";
            break;
        }
        p.bodyStart = "begin 644 " + p.fileName + "\r\n";
        p.encoded = &pic.uu;
        p.bodyEnd = "`\r\nend\r\n";
        p.bodyLines = pic.uuLineCount + 3;
    }
    p.bodySize = p.bodyStart.size() + p.encoded->size() + p.bodyEnd.size();
    return p;
}

const PartedPicture &SampleStore::partedPicture(int picture, int groupIndex) const
{
    std::unique_ptr<PartedPicture> &slot = m_partedPictures[{groupIndex, picture}];
    if (!slot)
        slot = std::make_unique<PartedPicture>(makePartedPicture(picture, groupIndex, m_seed));
    return *slot;
}

bool SampleStore::makePartPost(Post &p, quint64 h) const
{
    const std::optional<PartSlot> slot =
        m_multiPart ? partSlotAt(m_groups[p.groupIndex], p.number) : std::nullopt;
    if (!slot)
        return false;
    const PartedPicture &picture = partedPicture(slot->picture, p.groupIndex);
    const PartPost &part = picture.parts[slot->part - 1];
    const PartedSample &sample = partedSample(slot->picture);
    p.kind = sample.encoding == PartEncoding::Yenc ? SampleKind::YencPart : SampleKind::UuencodedPart;
    p.variant = slot->picture;
    p.fileName = picture.fileName;
    p.subject = part.subject;
    p.from = sample.from;
    p.organization = "Picture Posters Guild";
    p.host = "host-" + QByteArray::number((h >> 48) % 200) + ".cable.example.net";
    p.encoded = &part.body;
    p.bodyLines = part.lines;
    p.bodySize = part.body.size();
    return true;
}

QByteArray SampleStore::headOf(const Post &p)
{
    QByteArray out;
    out.reserve(512);
    out += "Path: newsd.example!not-for-mail\r\n";
    out += "From: " + p.from + "\r\n";
    out += "Newsgroups: " + p.newsgroups + "\r\n";
    out += "Subject: " + p.subject + "\r\n";
    out += "Date: " + p.date + "\r\n";
    out += "Organization: " + p.organization + "\r\n";
    out += "Lines: " + QByteArray::number(p.bodyLines) + "\r\n";
    out += "Message-ID: " + p.messageId + "\r\n";
    out += "NNTP-Posting-Host: " + p.host + "\r\n";
    out += "Xref: " + p.xref + "\r\n";
    return out;
}

QByteArray SampleStore::bodyOf(const Post &p)
{
    QByteArray out;
    out.reserve(p.bodySize);
    out += p.bodyStart;
    if (p.encoded)
        out += *p.encoded;
    out += p.bodyEnd;
    return out;
}

SampleKind SampleStore::kindOf(QByteArrayView group, qint64 number) const
{
    const std::optional<Post> p = post(group, number);
    return p ? p->kind : SampleKind::TextPost;
}

QByteArray SampleStore::fileNameOf(QByteArrayView group, qint64 number) const
{
    const std::optional<Post> p = post(group, number);
    return p ? p->fileName : QByteArray();
}

QByteArray SampleStore::pictureOf(QByteArrayView group, qint64 number) const
{
    const std::optional<Post> p = post(group, number);
    if (!p || p->kind == SampleKind::TextPost)
        return {};
    if (p->kind == SampleKind::YencPart || p->kind == SampleKind::UuencodedPart)
        return partedPicture(p->variant, p->groupIndex).data;
    return picture(p->variant).data;
}

QList<MultiPartSample> SampleStore::multiPartSamples(QByteArrayView group) const
{
    const int groupIndex = indexOf(group);
    if (!m_multiPart || groupIndex < 0)
        return {};
    QList<MultiPartSample> out;
    for (int picture = 0; picture < partedSampleCount(); ++picture) {
        MultiPartSample sample;
        sample.fileName = partedFileName(picture, groupIndex);
        sample.encoding = partedSample(picture).encoding;
        for (int part = 1; part <= partedSample(picture).total; ++part)
            sample.partNumbers.append(partSlotNumber(m_groups[groupIndex], {picture, part}));
        out.append(sample);
    }
    return out;
}

QByteArray SampleStore::article(QByteArrayView group, qint64 number) const
{
    const std::optional<Post> p = post(group, number);
    return p ? headOf(*p) + "\r\n" + bodyOf(*p) : QByteArray();
}

QByteArray SampleStore::head(QByteArrayView group, qint64 number) const
{
    const std::optional<Post> p = post(group, number);
    return p ? headOf(*p) : QByteArray();
}

QByteArray SampleStore::body(QByteArrayView group, qint64 number) const
{
    const std::optional<Post> p = post(group, number);
    return p ? bodyOf(*p) : QByteArray();
}

QByteArray SampleStore::overviewFields(QByteArrayView group, qint64 number) const
{
    const std::optional<Post> p = post(group, number);
    if (!p)
        return {};
    // The head's size without building it: its fixed text (measured once on an empty
    // post, whose line count is the one digit "0") plus the fields.
    static const qsizetype fixedHeadSize = headOf(Post()).size() - 1;
    const qint64 headSize = fixedHeadSize + p->from.size() + p->newsgroups.size() + p->subject.size() +
                            p->date.size() + p->organization.size() +
                            QByteArray::number(p->bodyLines).size() + p->messageId.size() + p->host.size() +
                            p->xref.size();
    const qint64 bytes = headSize + 2 + p->bodySize;
    QByteArray out;
    out.reserve(256);
    out += p->subject + '\t' + p->from + '\t' + p->date + '\t' + p->messageId + "\t\t" +
           QByteArray::number(bytes) + '\t' + QByteArray::number(p->bodyLines) + "\tXref: " + p->xref;
    return out;
}

} // namespace kestrel::newsd
