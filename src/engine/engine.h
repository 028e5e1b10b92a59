#pragma once

#include "base/context.h"

#include <QObject>
#include <memory>

namespace kestrel {

class Blacklist;
class Circle;
class DecodePipeline;
class FilingQueue;
class PipelineSink;
class CsvIndex;
class DupePaths;
class FavouritesModel;
class FilterCounters;
class FrontEnd;
class HeaderFilter;
class IniFile;
class NoRedlList;
class NoRedlFetchedNames;
class CsvIndexLookup;
class PendingListModel;

// Owns one running program: its context and every subsystem. The front end (windows,
// headless or a test) is handed to the start-up and shutdown sequences.
class Engine : public QObject {
    Q_OBJECT
public:
    explicit Engine(const QString &appPath, Clock *clock = nullptr, Prompter *prompter = nullptr,
                    QObject *parent = nullptr);
    ~Engine() override;

    Context &context() { return m_ctx; }
    NoRedlList &noRedl() { return *m_noRedl; }
    Blacklist &blacklist() { return *m_blacklist; }
    DupePaths &dupePaths() { return *m_dupePaths; }
    FavouritesModel &favourites() { return *m_favourites; }
    PendingListModel &pending() { return *m_pending; }
    FilterCounters &counters() { return *m_counters; }
    HeaderFilter &filter() { return *m_filter; }
    CsvIndex &csvIndex() { return *m_csv; }
    DecodePipeline &pipeline() { return *m_pipeline; }
    Circle &circle() { return *m_circle; }

    // Loads everything in its fixed order while the wait window counts 1 to 10.
    void startUp(FrontEnd &frontEnd);
    // Saves everything in its fixed order, says QUIT on the scan connection and emits
    // finished(); the caller ends the process.
    void exitProgram(FrontEnd &frontEnd);

    // The saves of the last shutdown that failed, each file once (already logged).
    const QList<SaveResult> &failedSaves() const { return m_failedSaves; }

    // Lines that start-up wants the user to read once the log switches are known.
    const QStringList &startupNotes() const { return m_startupNotes; }

Q_SIGNALS:
    void finished();

private:
    void loadCsvIndex(FrontEnd &frontEnd);
    void loadOptions(FrontEnd &frontEnd);
    void loadPending();
    void requeueArticle();
    void checkProgramFolderWritable();
    void noteSave(const SaveResult &result);
    void saveLists();
    void sendQuitScan();

    void showCounters();

    Context m_ctx;
    std::unique_ptr<CsvIndex> m_csv;
    std::unique_ptr<NoRedlList> m_noRedl;
    std::unique_ptr<CsvIndexLookup> m_csvLookup;
    std::unique_ptr<NoRedlFetchedNames> m_fetchedNames;
    std::unique_ptr<Blacklist> m_blacklist;
    std::unique_ptr<DupePaths> m_dupePaths;
    std::unique_ptr<FavouritesModel> m_favourites;
    std::unique_ptr<PendingListModel> m_pending;
    std::unique_ptr<FilterCounters> m_counters;
    std::unique_ptr<HeaderFilter> m_filter;
    std::unique_ptr<DecodePipeline> m_pipeline;
    std::unique_ptr<PipelineSink> m_sink;
    std::unique_ptr<FilingQueue> m_filing;
    std::unique_ptr<Circle> m_circle;
    QStringList m_startupNotes;
    QList<SaveResult> m_failedSaves;
};

} // namespace kestrel
