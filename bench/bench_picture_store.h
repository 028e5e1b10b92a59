#pragma once

#include "newsd/article_store.h"

#include <QByteArray>

namespace kestrel::bench {

// One group of `count` single-part yEnc picture posts that all carry the same picture
// (a JPEG the picture test passes), each under its own file name in the subject. The
// body is made and encoded once and shared by every article (its =ybegin name is the
// same for all; the pipeline files a picture under the subject's name), so an article
// costs the server only its few header lines and the sending.
class PictureStore final : public newsd::ArticleStore {
public:
    PictureStore(QByteArray group, qint64 count, qsizetype pictureBytes);

    const QByteArray &groupName() const { return m_group; }
    const QByteArray &picture() const { return m_picture; }
    static QByteArray fileNameOf(qint64 number);

    QList<newsd::GroupInfo> groups() const override;
    bool has(QByteArrayView group, qint64 number) const override;
    QByteArray article(QByteArrayView group, qint64 number) const override;
    QByteArray head(QByteArrayView group, qint64 number) const override;
    QByteArray body(QByteArrayView group, qint64 number) const override;
    QByteArray overviewFields(QByteArrayView group, qint64 number) const override;

private:
    QByteArray subjectOf(qint64 number) const;
    QByteArray messageIdOf(qint64 number) const;

    QByteArray m_group;
    qint64 m_count;
    QByteArray m_picture;
    QByteArray m_body; // one yEnc body, shared by every article
    qint64 m_yencLines = 0;
};

} // namespace kestrel::bench
