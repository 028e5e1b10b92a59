#pragma once

#include "base/list_number.h"

#include <QByteArray>

namespace kestrel {

// Columns after the group name, in display order.
enum FavouriteColumn : int { FavUnread = 0, FavLastRead, FavFirst, FavLast, FavTotal, FavSubItemCount };

// The counts and article numbers of a favourite group, blank until a scan fills them.
class FavouriteNumbers {
public:
    const ListNumber &at(FavouriteColumn column) const { return m_numbers[column]; }
    ListNumber &at(FavouriteColumn column) { return m_numbers[column]; }

    // A column as it is shown, sorted and saved.
    QByteArray text(FavouriteColumn column) const;
    // A column from stored text.
    void setText(FavouriteColumn column, QByteArrayView text);

    // Kept for the scan session's callers until they move to the numeric API.
    QByteArray operator[](FavouriteColumn column) const { return text(column); }

    bool operator==(const FavouriteNumbers &) const = default;

private:
    ListNumber m_numbers[FavSubItemCount];
};

struct FavouriteRow {
    QByteArray name;
    FavouriteNumbers sub; // Unread .. Total
    qint16 smallIcon = 1; // 2: the group being scanned
    bool ghosted = false; // switched off, not scanned
    bool selected = false;

    bool operator==(const FavouriteRow &) const = default;
};

} // namespace kestrel
