#include "decode/csv_index.h"

#include "base/ini_file.h"

#include "base/context.h"
#include "base/number_text.h"
#include "base/settings_file.h"

#include <QDir>
#include <QFile>

#include <new>

namespace kestrel {

namespace {
// One read of the size the file has, into the arena, then whatever the file grew by
// meanwhile: no buffer growth and no copy through QFile's own buffer.
bool readWhole(QFile &file, TextArena &arena, QByteArray &text, QString &error)
{
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        error = file.errorString();
        return false;
    }
    try {
        const qint64 size = file.size();
        char *data = arena.allocate(size_t(size));
        const qint64 n = file.read(data, size);
        if (n >= 0) {
            text = QByteArray::fromRawData(data, n);
            const QByteArray rest = file.readAll();
            if (!rest.isEmpty())
                text = text + rest;
        }
    } catch (const std::bad_alloc &) {
        // A file too large for memory is no index; it must not end the program.
        error = QStringLiteral("Out of memory");
        return false;
    }
    if (file.error() != QFileDevice::NoError) {
        error = file.errorString();
        return false;
    }
    return true;
}
} // namespace

bool CsvIndex::csvLoadFile(const QString &fullPath, QString &fileName, QString *error)
{
    fileName.chop(4);
    QFile file(fullPath);
    QByteArray text;
    QString reason;
    if (!readWhole(file, m_textArena, text, reason)) {
        if (error)
            *error = reason;
        return false;
    }
    addCsvText(QFile::encodeName(fileName), std::move(text));
    return true;
}

void CsvIndex::loadCsvIndex(Context &ctx, const IniFile &ini, const CsvLoadHooks &hooks)
{
    ctx.state.csvPath = loadCsvPath(ini, ctx.state.appPath);
    const QDir dir(ctx.state.csvPath);
    auto fail = [&](const QString &reason) {
        ctx.prompter.message(QStringLiteral("CSV path not found?  ") + reason);
    };
    if (!dir.exists()) {
        // The default folder, never made or saved back by an earlier run: its absence
        // means "no CSV index", not a missing one, and is no reason to stop every start
        // with a message box.
        const QString defaultPath = loadCsvPath(IniFile(), ctx.state.appPath);
        if (QDir::cleanPath(ctx.state.csvPath) == QDir::cleanPath(defaultPath))
            return;
        return fail(QStringLiteral("Path not found"));
    }

    // Sorted by name so that "first loaded wins" means the same on every file system.
    const QStringList names =
        dir.entryList({QStringLiteral("*.CSV")}, QDir::Files, QDir::Name | QDir::IgnoreCase);
    m_loaded = !names.isEmpty();
    if (!m_loaded)
        return;

    int count = 0;
    for (const QString &name : names) {
        if (hooks.showMessage)
            hooks.showMessage(name);
        QString csvName = name;
        QString reason;
        if (!csvLoadFile(ctx.state.csvPath + name, csvName, &reason))
            return fail(reason);
        ++count;
        if (hooks.abortRequested && hooks.abortRequested())
            break;
    }
    if (hooks.showMessage) {
        hooks.showMessage(numText(count) + (count > 1 ? QStringLiteral(" CSV files loaded.")
                                                      : QStringLiteral(" CSV file loaded.")));
    }
}

} // namespace kestrel
