#include "engine/engine.h"

#include "base/front_end.h"
#include "base/ini_file.h"
#include "base/settings_file.h"

#include "circle/circle.h"
#include "circle/connections.h"
#include "decode/csv_index.h"
#include "decode/decode_pipeline.h"
#include "engine/filing_queue.h"
#include "engine/list_adapters.h"
#include "engine/pipeline_sink.h"
#include "scan/blacklist.h"
#include "scan/dupe_paths.h"
#include "scan/favourites.h"
#include "scan/header_filter.h"
#include "scan/noredl_list.h"
#include "scan/pending_list_model.h"

#include <QDir>
#include <QTemporaryFile>

namespace kestrel {

Engine::Engine(const QString &appPath, Clock *clock, Prompter *prompter, QObject *parent)
    : QObject(parent), m_ctx(appPath, clock, prompter), m_csv(std::make_unique<CsvIndex>()),
      m_noRedl(std::make_unique<NoRedlList>(m_ctx)), m_csvLookup(std::make_unique<CsvIndexLookup>(*m_csv)),
      m_fetchedNames(std::make_unique<NoRedlFetchedNames>(*m_noRedl)),
      m_blacklist(std::make_unique<Blacklist>(m_ctx)), m_dupePaths(std::make_unique<DupePaths>(m_ctx)),
      m_favourites(std::make_unique<FavouritesModel>(m_ctx)),
      m_pending(std::make_unique<PendingListModel>(m_ctx, *m_noRedl, *m_blacklist)),
      m_counters(std::make_unique<FilterCounters>()),
      m_filter(std::make_unique<HeaderFilter>(m_ctx, *m_counters, *m_pending, *m_noRedl, *m_blacklist,
                                              *m_dupePaths, *m_csvLookup)),
      m_pipeline(std::make_unique<DecodePipeline>(m_ctx, *m_fetchedNames, m_csv.get())),
      m_sink(std::make_unique<PipelineSink>(*m_pipeline, *m_pending)),
      m_filing(std::make_unique<FilingQueue>(*m_sink)),
      m_circle(std::make_unique<Circle>(m_ctx, *m_favourites, *m_pending, *m_filter, *m_counters, *m_filing))
{
    m_sink->setCircle(m_circle.get());
    connect(m_counters.get(), &FilterCounters::changed, this, &Engine::showCounters);
    connect(m_pending.get(), &PendingListModel::pendingCountChanged, this, &Engine::showCounters);
    connect(m_pending.get(), &PendingListModel::addedCountChanged, this, &Engine::showCounters);
    connect(m_pipeline.get(), &DecodePipeline::busyChanged, &m_ctx.display, &MainDisplay::setBusy);
    connect(m_pipeline.get(), &DecodePipeline::pictureStored, m_dupePaths.get(), &DupePaths::noteStoredFile);
    connect(m_circle.get(), &Circle::scanStarting, m_dupePaths.get(), &DupePaths::foldersMayHaveChanged);
    // Pictures that waited too long for their missing parts go before the scan reads
    // new headers, so that a repost found by this scan starts afresh.
    connect(m_circle.get(), &Circle::scanStarting, m_pending.get(), &PendingListModel::dropExpiredPictures);
}

void Engine::showCounters()
{
    for (const auto &[label, value] : m_counters->labelValues())
        m_ctx.display.setCounter(QString::fromLatin1(label), value);
    m_ctx.display.setCounter(QStringLiteral("lblPending"), m_ctx.state.pendingCount);
    m_ctx.display.setCounter(QStringLiteral("lblMCount"), m_pending->addedCount());
}

Engine::~Engine() = default;

void Engine::startUp(FrontEnd &fe)
{
    fe.setWaitMaximum(10);
    // Relative names resolve in the program folder, as every file of ours lives there.
    QDir::setCurrent(m_ctx.state.appPath);
    fe.setWaitProgress(1);
    fe.showWait();
    checkProgramFolderWritable();

    loadCsvIndex(fe);
    fe.setWaitMaximum(10);

    // The options are loaded before the main window exists, so that its start-up sound
    // obeys the saved sound setting.
    loadOptions(fe);
    fe.createMainWindow();
    fe.setWaitProgress(8);
    fe.setWaitProgress(9);

    const IniFile ini(m_ctx.state.file(QStringLiteral("KESTREL.INI")));
    fe.applyPlacement(loadWindowPlacement(ini));
    fe.createColumns(loadColumnWidths(ini));
    loadPending();
    fe.setWaitProgress(10);

    m_ctx.writeLog(QString(), false);
    for (const QString &note : std::as_const(m_startupNotes))
        m_ctx.writeLog(note, true);
    fe.showMainWindow();
}

void Engine::checkProgramFolderWritable()
{
    // Asking the folder is not enough (a read-only mount passes a permission check for
    // root, a full disk every check): write a byte there, the way every save does.
    QTemporaryFile probe(m_ctx.state.file(QStringLiteral("kestrel-write-check-XXXXXX")));
    if (probe.open() && probe.write("k", 1) == 1 && probe.flush())
        return;
    m_startupNotes.append(QStringLiteral("The program folder ") + m_ctx.state.appPath +
                          QStringLiteral(" cannot be written (") + probe.errorString() +
                          QStringLiteral("): settings, lists and the queue will not be saved"));
}

void Engine::loadCsvIndex(FrontEnd &fe)
{
    CsvLoadHooks hooks;
    hooks.showMessage = [&fe](const QString &text) { fe.setWaitMessage(text); };
    hooks.abortRequested = [&fe] { return fe.waitAbortRequested(); };
    m_csv->loadCsvIndex(m_ctx, IniFile(m_ctx.state.file(QStringLiteral("KESTREL.INI"))), hooks);
}

void Engine::loadOptions(FrontEnd &fe)
{
    const IniFile ini(m_ctx.state.file(QStringLiteral("KESTREL.INI")));
    m_startupNotes += loadSettings(ini, m_ctx.settings, m_ctx.state.csvPath, m_csv->csvLoaded());
    fe.setWaitProgress(2);
    m_favourites->loadFavs();
    fe.setWaitProgress(3);
    m_noRedl->loadNoRedl();
    fe.setWaitProgress(4);
    m_dupePaths->loadDupePaths();
    // Written back at once, so the file takes the normalised form of the list.
    if (!m_dupePaths->saveDupePaths())
        m_startupNotes << QStringLiteral("DUPEPATH.TXT could not be written; it is saved again at exit");
    fe.setWaitProgress(5);
    m_blacklist->loadBlacklist();
    fe.setWaitProgress(6);
    fe.setWaitProgress(7);
}

void Engine::loadPending()
{
    m_pending->loadPending();
    showCounters();
}

void Engine::exitProgram(FrontEnd &fe)
{
    // The end of the program is queued behind this handler: an article finishing in that
    // last pass would be filed after NOREDL.TXT was saved and fetched again next time.
    // Its data is of no use any more once it is back on the list.
    m_circle->takeBackDownloads();
    if (m_ctx.state.articleInHand)
        requeueArticle();
    m_failedSaves.clear();
    noteSave(m_pending->savePending());

    // The settings file is written after each of its steps so that its place in the
    // order of saved files is kept even when a later step fails.
    IniFile ini(m_ctx.state.file(QStringLiteral("KESTREL.INI")));
    saveSettings(ini, m_ctx.settings);
    noteSave(ini.save());
    saveLists();
    const PlacementNow p = fe.currentPlacement();
    saveWindowPlacement(ini, p.windowState, p.top, p.left, p.width, p.height);
    noteSave(ini.save());
    saveColumnWidths(ini, fe.columnWidths());
    noteSave(ini.save());

    fe.hideMainWindow();
    sendQuitScan();
    Q_EMIT finished();
}

void Engine::requeueArticle()
{
    m_pending->requeueArticle();
}

void Engine::noteSave(const SaveResult &result)
{
    if (result.ok())
        return;
    // The settings file is written three times; one line for it is enough.
    for (const SaveResult &failed : std::as_const(m_failedSaves)) {
        if (failed.path() == result.path())
            return;
    }
    m_failedSaves.append(result);
    m_ctx.reportSave(result);
}

void Engine::saveLists()
{
    noteSave(m_favourites->saveFavs());
    noteSave(m_noRedl->saveNoRedl());
    noteSave(m_dupePaths->saveDupePaths());
    noteSave(m_blacklist->saveBlacklist());
}

void Engine::sendQuitScan()
{
    m_circle->sendQuit(ConnectionRole::Scan);
}

} // namespace kestrel
