#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

namespace kestrel {

// The "k of n" counter of a subject that names one article of a post split over
// several: "(k/n)" and "[k/n]" as yEnc posting tools write it, "part k of n" (any case)
// and a bare "k/n" word as uuencode posts do.
struct PartCounter {
    int number = 0;  // k, from 1
    int total = 0;   // n, at least 2
    QByteArray rest; // the subject without the counter, single blank where it stood
};

// The last counter-shaped text of the subject decides: a file-set counter such as
// "[3/10]" comes before the part counter, so the last one is the part's. When that last
// one is not a part counter (k outside 1..n, n below 2, as "(1/1)" or "2005/2006"),
// the subject carries none.
std::optional<PartCounter> findPartCounter(QByteArrayView subject);

} // namespace kestrel
