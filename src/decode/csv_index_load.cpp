#include "csv_index.h"

#include "core/context.h"
#include "core/number_text.h"
#include "core/settings_file.h"

#include <QDir>
#include <QFile>

namespace kestrel {

bool CsvIndex::CsvLoadFile(const QString &fullPath, QString &fileName, QString *error)
{
    fileName.chop(4);
    QFile file(fullPath);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    QByteArray text = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        if (error)
            *error = file.errorString();
        return false;
    }
    addCsvText(QFile::encodeName(fileName), std::move(text));
    return true;
}

void CsvIndex::LoadCsvIndex(Context &ctx, const IniFile &ini, const CsvLoadHooks &hooks)
{
    ctx.state.CsvPath = LoadCsvPath(ini, ctx.state.AppPath);
    const QDir dir(ctx.state.CsvPath);
    auto fail = [&](const QString &reason) {
        ctx.prompter.message(QStringLiteral("CSV path not found?  ") + reason);
    };
    if (!dir.exists())
        return fail(QStringLiteral("Path not found"));

    // Sorted by name so that "first loaded wins" means the same on every file system.
    const QStringList names = dir.entryList({QStringLiteral("*.CSV")}, QDir::Files,
                                            QDir::Name | QDir::IgnoreCase);
    m_loaded = !names.isEmpty();
    if (!m_loaded)
        return;

    int count = 0;
    for (const QString &name : names) {
        if (hooks.showMessage)
            hooks.showMessage(name);
        QString csvName = name;
        QString reason;
        if (!CsvLoadFile(ctx.state.CsvPath + name, csvName, &reason))
            return fail(reason);
        ++count;
        if (hooks.abortRequested && hooks.abortRequested())
            break;
    }
    if (hooks.showMessage) {
        hooks.showMessage(numText(count)
                          + (count > 1 ? QStringLiteral(" CSV files loaded.")
                                       : QStringLiteral(" CSV file loaded.")));
    }
}

} // namespace kestrel
