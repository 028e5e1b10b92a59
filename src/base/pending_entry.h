#pragma once

#include <QByteArray>
#include <array>

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

// One row of the pending download list. Texts are kept as the bytes that came off
// the wire or out of pending.dat.
struct PendingEntry {
    QByteArray text;                                   // file name, or a "!..." rejection label
    std::array<QByteArray, PendingSubItemCount> sub{}; // Lines .. X-posts
    qint64 tag = 0;                                    // article number (servers pass 2^31)
    qint16 icon = 0;
    qint16 smallIcon = 0;
    bool ghosted = false;
    bool selected = false;

    bool operator==(const PendingEntry &) const = default;
};

} // namespace kestrel
