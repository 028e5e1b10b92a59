#pragma once

#include "article_store.h"
#include "multipart_posts.h"

#include <map>
#include <vector>

namespace kestrel::newsd {

struct PartedPicture;

struct SampleGroup {
    QByteArray name;
    qint64 first = 1;
    qint64 last = 100;
    // Every number divisible by this is missing (a cancelled article); 0: none missing.
    qint64 gapEvery = 0;
};

enum class SampleKind { YencPicture, UuencodedPicture, TextPost, YencPart, UuencodedPart };

// A picture a sample group posts in several parts.
struct MultiPartSample {
    QByteArray fileName;
    PartEncoding encoding = PartEncoding::Yenc;
    // The article number of part k at k - 1; a number beyond the group's last is not
    // posted yet.
    QList<qint64> partNumbers;
};

// Generated groups of picture posts, made up on the fly from the article number, so a
// group of a million articles costs nothing until asked for. About 70 in 100 posts are
// single-part yEnc pictures, 15 uuencoded pictures and 15 text posts (spam); a few are
// cross-posted. The pictures are a couple of dozen JPEG files between 6 KB and 114 KB,
// each made and encoded once, when first needed. The same seed always gives the same
// articles.
//
// With setMultiPart(true) a group also posts four pictures of 0.35 to 2.9 MB in 2 to 8
// parts each (three yEnc, one uuencoded), on every third number from its second article
// on, mostly out of part order (see sample_parts.h); they take the place of the
// single-part posts at those numbers.
class SampleStore : public ArticleStore {
public:
    explicit SampleStore(QList<SampleGroup> groups, quint32 seed = 1);
    ~SampleStore() override;

    void addGroup(const SampleGroup &group);
    // Gives a group a new number range, as when a server renumbers a group.
    bool setRange(QByteArrayView group, qint64 first, qint64 last);

    void setMultiPart(bool on) { m_multiPart = on; }
    bool multiPart() const { return m_multiPart; }

    SampleKind kindOf(QByteArrayView group, qint64 number) const;
    // The picture's file name as the subject names it; empty for a text post.
    QByteArray fileNameOf(QByteArrayView group, qint64 number) const;
    // The picture the article carries, decoded (the whole picture for a part); empty for
    // a text post.
    QByteArray pictureOf(QByteArrayView group, qint64 number) const;
    // The group's multi-part pictures; none while multi-part posts are off.
    QList<MultiPartSample> multiPartSamples(QByteArrayView group) const;

    QList<GroupInfo> groups() const override;
    bool has(QByteArrayView group, qint64 number) const override;
    std::optional<qint64> nextAfter(QByteArrayView group, qint64 after) const override;
    QByteArray article(QByteArrayView group, qint64 number) const override;
    QByteArray head(QByteArrayView group, qint64 number) const override;
    QByteArray body(QByteArrayView group, qint64 number) const override;
    QByteArray overviewFields(QByteArrayView group, qint64 number) const override;

private:
    struct Picture;
    struct Post;
    int indexOf(QByteArrayView group) const;
    std::optional<Post> post(QByteArrayView group, qint64 number) const;
    const Picture &picture(int variant) const;
    const PartedPicture &partedPicture(int picture, int groupIndex) const;
    bool makePartPost(Post &post, quint64 hash) const;
    static QByteArray headOf(const Post &post);
    static QByteArray bodyOf(const Post &post);

    QList<SampleGroup> m_groups;
    quint32 m_seed;
    mutable std::vector<std::unique_ptr<Picture>> m_pictures;
    bool m_multiPart = false;
    // Made when a group's first part is asked for; keyed by (group index, picture).
    mutable std::map<std::pair<int, int>, std::unique_ptr<PartedPicture>> m_partedPictures;
};

} // namespace kestrel::newsd
