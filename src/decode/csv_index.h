#pragma once

#include "decode/folded_name_table.h"
#include "decode/huge_page_memory.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace kestrel {

class Context;
class IniFile;

// How the index load talks to whoever shows the wait window: the label text after each
// file and at the end, and the user's wish to stop, asked after every file. Either may
// be empty.
struct CsvLoadHooks {
    std::function<void(const QString &text)> showMessage;
    std::function<bool()> abortRequested;
};

// The series name of a CSV file name: what lies between its first and its last "_"
// ("2002_Sunsets_index" gives "Sunsets", "a_b_c_d" gives "b_c"); a name without "_"
// is returned whole.
QByteArray csvSeriesName(const QByteArray &csvName);

// All CSV index files of the CSV folder, loaded once at start-up and then only read.
// A record is a line "file name,number,CRC32,description"; it is found by its first
// field, compared whole and without regard to case. When several lines name the same
// file, the one in the file loaded first wins, and within a file the first line.
class CsvIndex final {
public:
    // Sets ctx.state.csvPath from the settings file and loads every "*.CSV" file of that
    // folder, in name order. A missing folder or an unreadable file shows the message
    // "CSV path not found?  " + the reason and ends the load; what was loaded stays.
    void loadCsvIndex(Context &ctx, const IniFile &ini, const CsvLoadHooks &hooks = {});

    // Loads one file; fileName comes back shortened by its extension (the CSV name).
    // False, with the reason in *error, when the file cannot be read.
    bool csvLoadFile(const QString &fullPath, QString &fileName, QString *error = nullptr);

    // Adds a file's text under its CSV name (the file name without extension).
    void addCsvText(const QByteArray &csvName, QByteArray text);

    bool csvLoaded() const { return m_loaded; }
    void setCsvLoaded(bool loaded) { m_loaded = loaded; }
    int csvCount() const { return int(m_files.size()); }

    // The record line of a file name as read (without its line end), a CR, and the CSV
    // name of the file holding it; empty when no record has that name.
    QByteArray csvFindRecord(const QByteArray &fileName) const;
    QByteArray csvSeriesName(const QByteArray &csvName) const { return kestrel::csvSeriesName(csvName); }

    // The same record as csvFindRecord, in upper case and ended by a CR; sets csvFolder
    // to the series of the CSV file holding it, or empty when there is none.
    QByteArray csvFindCrcRecord(const QByteArray &fileName);
    // Series name of the record found by the last CRC check; empty when it found none.
    const QByteArray &csvFolder() const { return m_folder; }

    // Compares the CRC-32 of the decoded file at path with the one its record lists and
    // logs the outcome: fileName + " CRC32 VERIFIED", or "CRC32 INVALID (CSV:<csv hex>
    // <name>:<file hex>)". A record without a third comma logs
    // "CSV record without CRC32 field: " + the record and fails. True when verified.
    bool csvCheckCrc(Context &ctx, const QString &path, const QByteArray &fileName);
    // The same check and log lines for a picture whose CRC-32 is known already.
    bool csvCheckCrc(Context &ctx, std::optional<quint32> pictureCrc, const QByteArray &fileName);

private:
    struct CsvFile {
        QByteArray name; // CSV name: file name less its extension
        QByteArray text; // as read; may refer into m_textArena
    };
    void indexText(quint32 file);
    // Where the record of a name lies, or nullopt.
    std::optional<NameRef> findRecord(const QByteArray &fileName) const;
    QByteArrayView lineOf(const NameRef &r) const;
    QByteArrayView nameOf(const NameRef &r) const;

    TextArena m_textArena; // the texts of loaded files; m_files refers into it
    std::vector<CsvFile> m_files;
    FoldedNameTable m_table;
    bool m_loaded = false;
    QByteArray m_folder;
};

} // namespace kestrel
