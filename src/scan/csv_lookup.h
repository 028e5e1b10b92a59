#pragma once

#include <QByteArray>

namespace kestrel {

// What the header filter asks of the CSV index. The index in src/decode implements
// it; a filter without an index uses NoCsvIndex.
class CsvLookup {
public:
    virtual ~CsvLookup() = default;
    // At least one CSV file was loaded.
    virtual bool csvLoaded() const = 0;
    // The record line for a file name, a CR, and the name of the CSV file holding it
    // without its extension; empty when the index has no record for the name.
    virtual QByteArray csvFindRecord(const QByteArray &fileName) const = 0;
    // The series name shown for a CSV file name.
    virtual QByteArray csvSeriesName(const QByteArray &csvFileName) const = 0;
};

class NoCsvIndex final : public CsvLookup {
public:
    bool csvLoaded() const override { return false; }
    QByteArray csvFindRecord(const QByteArray &) const override { return {}; }
    QByteArray csvSeriesName(const QByteArray &name) const override { return name; }
};

} // namespace kestrel
