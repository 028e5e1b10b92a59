#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace kestrel {

// What the pipeline needs of the list of names already fetched: recording a name once
// its article is done with, and the name a uuencoded picture is saved under.
class FetchedNames {
public:
    virtual ~FetchedNames() = default;
    // Records a fetched file name, so that it is not fetched again.
    virtual void recordFetched(QByteArrayView name) = 0;
    // The name to save a uuencoded picture under, or "KILL" when it must not be saved.
    // text starts at the "begin 644" line; subjectName is the name from the subject.
    virtual QByteArray uuencodedName(const QByteArray &text, const QByteArray &subjectName) = 0;
};

} // namespace kestrel
