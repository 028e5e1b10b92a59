#pragma once

#include "base/list_number.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>

namespace kestrel {

// Columns after the file name, in display order.
enum PendingColumn : int {
    ColLines = 0,
    ColSubject,
    ColOrganization,
    ColPostingHost,
    ColEmail,
    ColNewsgroup,
    ColXposts,
    PendingSubItemCount
};

// The columns of a pending entry after its file name. Texts are kept as the bytes
// that came off the wire or out of pending.dat; Lines and X-posts are numbers.
struct PendingSubItems {
    ListNumber lines;
    QByteArray subject;
    QByteArray organization;
    QByteArray postingHost;
    QByteArray email;
    QByteArray newsgroup;
    ListNumber crossposts;

    // A column as it is shown, searched and saved.
    QByteArray text(PendingColumn column) const;
    // The same text without an allocation, for sorting (see ListNumber::textView).
    QByteArrayView textView(PendingColumn column, NumberBuffer &buf) const;
    // A column from its saved text.
    void setText(PendingColumn column, const QByteArray &text);

    bool operator==(const PendingSubItems &) const = default;

private:
    // The field of a text column; nullptr for Lines and X-posts.
    const QByteArray *textField(PendingColumn column) const;
};

// One article of a picture posted in several parts.
struct PendingPart {
    qint16 number = 0; // k of the subject's "(k/n)" counter, from 1
    ListNumber tag;    // its article number, spelt as the scan passed it
    qint32 lines = 0;  // its Lines value

    bool operator==(const PendingPart &) const = default;
};

// The parts of a picture posted in several articles. Empty (total 0) for the usual
// single-part entry, which pending.dat alone describes.
struct PendingParts {
    qint16 total = 0;        // n of the counter
    QList<PendingPart> seen; // in part order, one per number
    QDateTime firstSeen;     // when the first part was queued: incomplete pictures expire
    // What makes headers parts of the same picture: the group, the subject without its
    // counter and the poster.
    QByteArray key;

    bool isMultiPart() const { return total > 0; }
    bool complete() const { return total > 0 && seen.size() == total; }
    bool operator==(const PendingParts &) const = default;
};

// One row of the pending download list.
struct PendingEntry {
    QByteArray text;     // file name, or a "!..." rejection label
    PendingSubItems sub; // Lines .. X-posts
    // The article number as the scan passed it: the overview line's first field, or
    // in HEAD mode the number written with a leading space. Servers pass 2^31.
    ListNumber tag;
    qint16 icon = 0;
    qint16 smallIcon = 0;
    bool ghosted = false;
    bool selected = false;
    // A picture posted in several parts: tag is then its first part's article number.
    PendingParts parts;

    // A picture whose parts are not all seen yet: listed, but no download run takes it.
    bool waiting() const { return parts.isMultiPart() && !parts.complete(); }
    // "group/number": names the article, or a picture in parts by its first part.
    QByteArray articleKey() const
    {
        return sub.newsgroup + '/' + QByteArray::number(tag.value().value_or(0));
    }
    bool operator==(const PendingEntry &) const = default;
};

} // namespace kestrel
