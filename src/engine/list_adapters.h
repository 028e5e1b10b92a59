#pragma once

#include "decode/csv_index.h"
#include "decode/fetched_names.h"
#include "scan/csv_lookup.h"
#include "scan/noredl_list.h"

namespace kestrel {

// The no-re-download list as the decode pipeline sees it.
class NoRedlFetchedNames final : public FetchedNames {
public:
    explicit NoRedlFetchedNames(NoRedlList &list) : m_list(list) {}
    void recordFetched(QByteArrayView name) override { m_list.addToNoRedl(name); }
    QByteArray uuencodedName(const QByteArray &text, const QByteArray &subjectName) override
    {
        return m_list.checkUUName(text, subjectName);
    }

private:
    NoRedlList &m_list;
};

// The CSV index as the header filter sees it.
class CsvIndexLookup final : public CsvLookup {
public:
    explicit CsvIndexLookup(const CsvIndex &index) : m_index(index) {}
    bool csvLoaded() const override { return m_index.csvLoaded(); }
    QByteArray csvFindRecord(const QByteArray &fileName) const override
    {
        return m_index.csvFindRecord(fileName);
    }
    QByteArray csvSeriesName(const QByteArray &csvFileName) const override
    {
        return m_index.csvSeriesName(csvFileName);
    }

private:
    const CsvIndex &m_index;
};

} // namespace kestrel
