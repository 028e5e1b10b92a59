#pragma once

#include <QIcon>

namespace kestrel {

// The small icons of the lists, by the index the lists store: 1 a picture, 2 a GIF
// (or a forced GIF or PNG entry), 3 a file found in the CSV index. Any other index has
// no icon.
QIcon smallListIcon(int index);

} // namespace kestrel
