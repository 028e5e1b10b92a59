#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <optional>

namespace kestrel {

class IniFile;
class SettingsStore;

// Reads section Options and then the CSV options into the store. Values that do not
// fit their setting (text in a number, a number out of range) are fitted or ignored;
// the returned lines say what was changed, for the log.
QStringList loadSettings(const IniFile &ini, SettingsStore &settings, const QString &csvPath, bool csvLoaded);
void saveSettings(IniFile &ini, const SettingsStore &settings);

// The CSV index folder: CSV_Path with one trailing separator, else AppPath/CSV/.
QString loadCsvPath(const IniFile &ini, const QString &appPath);
QStringList loadCsvOptions(const IniFile &ini, SettingsStore &settings, const QString &csvPath,
                           bool csvLoaded);
void saveCsvOptions(IniFile &ini, const SettingsStore &settings);

// Main window placement in twips. A missing Top means "centre on the screen" and no
// other field is read.
struct WindowPlacement {
    std::optional<double> top, left, width, height;
    std::optional<int> windowState; // 0 normal, 1 minimised, 2 maximised
};
WindowPlacement loadWindowPlacement(const IniFile &ini);
// normal holds the current normal-state edges; they are written only when state is 0.
void saveWindowPlacement(IniFile &ini, int windowState, double top, double left, double width, double height);

struct PendingColumnDef {
    const char *title;
    int defaultWidth;
};
inline constexpr std::array<PendingColumnDef, 8> kPendingColumns{{
    {"Filename", 60},
    {"Lines", 19},
    {"Subject", 150},
    {"Organization", 40},
    {"Posting Host", 40},
    {"Email", 40},
    {"Newsgroup", 60},
    {"X-posts", 20},
}};
std::array<int, 8> loadColumnWidths(const IniFile &ini);
void saveColumnWidths(IniFile &ini, const std::array<int, 8> &widths);

// Leading number of a text ("12.6px" -> 12.6); nullopt when there is none.
std::optional<double> leadingNumber(const QByteArray &text);

} // namespace kestrel
