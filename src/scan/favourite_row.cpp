#include "scan/favourite_row.h"

namespace kestrel {

namespace {

// The counts are zero-padded so that they sort as text in number order; the article
// numbers are written as the server sent them.
int digitsOf(FavouriteColumn column)
{
    return column == FavUnread || column == FavTotal ? 5 : 0;
}

} // namespace

QByteArray FavouriteNumbers::text(FavouriteColumn column) const
{
    return at(column).text(digitsOf(column));
}

void FavouriteNumbers::setText(FavouriteColumn column, QByteArrayView text)
{
    at(column) = ListNumber::fromText(text, digitsOf(column));
}

} // namespace kestrel
