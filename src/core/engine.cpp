#include "engine.h"

#include "front_end.h"
#include "ini_file.h"
#include "settings_file.h"

#include <QDir>

namespace kestrel {

Engine::Engine(const QString &appPath, Clock *clock, Prompter *prompter, QObject *parent)
    : QObject(parent), m_ctx(appPath, clock, prompter)
{
}

Engine::~Engine() = default;

void Engine::Main(FrontEnd &fe)
{
    fe.setWaitMaximum(10);
    // Relative names resolve in the program folder, as every file of ours lives there.
    QDir::setCurrent(m_ctx.state.AppPath);
    fe.setWaitProgress(1);
    fe.showWait();

    LoadCsvIndex(fe);
    fe.setWaitMaximum(10);

    // The options are loaded before the main window exists, so that its start-up sound
    // obeys the saved sound setting.
    loadOptions(fe);
    fe.createMainWindow();
    fe.setWaitProgress(8);
    fe.setWaitProgress(9);

    const IniFile ini(m_ctx.state.file(QStringLiteral("KESTREL.INI")));
    fe.applyPlacement(LoadWindowPlacement(ini));
    fe.createColumns(LoadColumnWidths(ini));
    LoadPending();
    fe.setWaitProgress(10);

    m_ctx.WriteLog(QString(), false);
    for (const QString &note : std::as_const(m_startupNotes))
        m_ctx.WriteLog(note, true);
    fe.showMainWindow();
}

void Engine::LoadCsvIndex(FrontEnd &)
{
    m_ctx.state.CsvPath = LoadCsvPath(IniFile(m_ctx.state.file(QStringLiteral("KESTREL.INI"))),
                                      m_ctx.state.AppPath);
}

void Engine::loadOptions(FrontEnd &fe)
{
    const IniFile ini(m_ctx.state.file(QStringLiteral("KESTREL.INI")));
    m_startupNotes = LoadSettings(ini, m_ctx.settings, m_ctx.state.CsvPath, m_csvLoaded);
    fe.setWaitProgress(2);
    fe.setWaitProgress(3);   // favourites
    fe.setWaitProgress(4);   // no-re-download list
    fe.setWaitProgress(5);   // duplicate-check folders
    fe.setWaitProgress(6);   // blacklist
    fe.setWaitProgress(7);
}

void Engine::LoadPending()
{
}

void Engine::ExitProgram(FrontEnd &fe)
{
    if (m_ctx.state.ArticleInHand)
        RequeueArticle();
    SavePending();

    // The settings file is written after each of its steps so that its place in the
    // order of saved files is kept even when a later step fails.
    IniFile ini(m_ctx.state.file(QStringLiteral("KESTREL.INI")));
    SaveSettings(ini, m_ctx.settings);
    ini.save();
    saveLists();
    const PlacementNow p = fe.currentPlacement();
    SaveWindowPlacement(ini, p.windowState, p.top, p.left, p.width, p.height);
    ini.save();
    SaveColumnWidths(ini, fe.columnWidths());
    ini.save();

    fe.hideMainWindow();
    SendQuitScan();
    Q_EMIT finished();
}

void Engine::RequeueArticle()
{
}

void Engine::SavePending()
{
}

void Engine::saveLists()
{
}

void Engine::SendQuitScan()
{
}

} // namespace kestrel
