#pragma once

#include "article_store.h"

#include <vector>

namespace kestrel::newsd {

struct SampleGroup {
    QByteArray name;
    qint64 first = 1;
    qint64 last = 100;
    // Every number divisible by this is missing (a cancelled article); 0: none missing.
    qint64 gapEvery = 0;
};

enum class SampleKind { YencPicture, UuencodedPicture, TextPost };

// Generated groups of picture posts, made up on the fly from the article number, so a
// group of a million articles costs nothing until asked for. About 70 in 100 posts are
// single-part yEnc pictures, 15 uuencoded pictures and 15 text posts (spam); a few are
// cross-posted. The pictures are a couple of dozen JPEG files between 6 KB and 114 KB,
// each made and encoded once, when first needed. The same seed always gives the same
// articles.
class SampleStore : public ArticleStore {
public:
    explicit SampleStore(QList<SampleGroup> groups, quint32 seed = 1);
    ~SampleStore() override;

    void addGroup(const SampleGroup &group);
    // Gives a group a new number range, as when a server renumbers a group.
    bool setRange(QByteArrayView group, qint64 first, qint64 last);

    SampleKind kindOf(QByteArrayView group, qint64 number) const;
    // The picture's file name as the subject names it; empty for a text post.
    QByteArray fileNameOf(QByteArrayView group, qint64 number) const;
    // The picture the article carries, decoded; empty for a text post.
    QByteArray pictureOf(QByteArrayView group, qint64 number) const;

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
    static QByteArray headOf(const Post &post);
    static QByteArray bodyOf(const Post &post);

    QList<SampleGroup> m_groups;
    quint32 m_seed;
    mutable std::vector<std::unique_ptr<Picture>> m_pictures;
};

} // namespace kestrel::newsd
