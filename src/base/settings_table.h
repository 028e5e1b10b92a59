#pragma once

#include <array>
#include <span>

namespace kestrel {

enum class SettingKind { Check, Slider, Text };

// Which window edits a setting; the windows bind their widgets to the store by name.
enum class SettingWindow { Options, Login, Log };

// One row of the settings table: a setting named after the control that edits it.
struct SettingDef {
    const char *name; // control name, e.g. "chkXOVER"
    SettingKind kind;
    SettingWindow window;
    const char *section; // INI section, or nullptr when not persisted
    const char *key;     // INI key
    int defaultNumber;   // check state or slider position
    const char *defaultText;
    int min; // slider range
    int max;
    const char *caption; // check box caption (initial text)
};

// Short spellings for the rows below, kept out of the kestrel namespace.
namespace settingsTableRows {

using K = SettingKind;
using W = SettingWindow;
inline constexpr const char *Opt = "Options";
inline constexpr const char *Csv = "CSV_Options";

// Options rows in the order they are saved, then CSV_Options, then the settings that
// live only for one run. In a header so that setting keys are checked against it at
// compile time.
inline constexpr std::array kRows{
    SettingDef{"lblDownloadPath", K::Text, W::Options, Opt, "Download_Path", 0, "", 0, 0, nullptr},
    SettingDef{"chkSaveHeaders", K::Check, W::Options, Opt, "Save_Headers", 0, nullptr, 0, 2,
               "Save Article Headers as text files"},
    SettingDef{"chkShortFolderNames", K::Check, W::Options, Opt, "chkShortFolderNames", 0, nullptr, 0, 2,
               "Abbreviate folder names"},
    SettingDef{"chkSaveACDsee", K::Check, W::Options, Opt, "chkSaveACDsee", 0, nullptr, 0, 2,
               "Create ACDSEE descript.ion files"},
    SettingDef{"chkBLemail", K::Check, W::Options, Opt, "BL_Armed", 1, nullptr, 0, 2, "Use blacklist"},
    SettingDef{"sldXposts", K::Slider, W::Options, Opt, "Xposts_Allowed", 10, nullptr, 1, 50, nullptr},
    SettingDef{"sldLineMin", K::Slider, W::Options, Opt, "Line_Min", 100, nullptr, 10, 5000, nullptr},
    SettingDef{"sldLineMax", K::Slider, W::Options, Opt, "Line_Max", 4000, nullptr, 100, 20000, nullptr},
    SettingDef{"sldRescan", K::Slider, W::Options, Opt, "Rescan_Time", 90, nullptr, 5, 240, nullptr},
    SettingDef{"sldTimeout", K::Slider, W::Options, Opt, "sldTimeout", 60, nullptr, 15, 240, nullptr},
    SettingDef{"chkReScan", K::Check, W::Options, Opt, "Do_Rescan", 1, nullptr, 0, 2,
               "Circular Re-Scan [90 seconds]"},
    SettingDef{"chkOverall", K::Check, W::Options, Opt, "Show_All", 0, nullptr, 0, 2, "show ALL articles"},
    SettingDef{"chkRequireJPG", K::Check, W::Options, Opt, "RequireJPG", 1, nullptr, 0, 2,
               "Require .JPG in article subject (otherwise will assume JPG)"},
    SettingDef{"txtHost", K::Text, W::Login, Opt, "News_Host", 0, "", 0, 0, nullptr},
    SettingDef{"txtPort", K::Text, W::Login, Opt, "News_Port", 0, "119", 0, 0, nullptr},
    SettingDef{"txtUserName", K::Text, W::Login, Opt, "User_Name", 0, "", 0, 0, nullptr},
    SettingDef{"chkSavePassword", K::Check, W::Login, Opt, "chkSavePassword", 0, nullptr, 0, 2,
               "Save Password"},
    SettingDef{"txtPassword", K::Text, W::Login, Opt, "User_Pass", 0, "", 0, 0, nullptr},
    SettingDef{"chkAuth", K::Check, W::Login, Opt, "chkAuth", 0, nullptr, 0, 2,
               "News Server Authentication required"},
    SettingDef{"chkMakeSubDirs", K::Check, W::Options, Opt, "chkMakeSubDirs", 1, nullptr, 0, 2,
               "Create Sub-Folders for each Newsgroup"},
    SettingDef{"chkSFX", K::Check, W::Options, Opt, "chkSFX", 1, nullptr, 0, 2, "Play Sound Effects"},
    SettingDef{"sldMaxPending", K::Slider, W::Options, Opt, "MAX_Pending", 100, nullptr, 5, 3000, nullptr},
    SettingDef{"chkSaveDecodes", K::Check, W::Options, Opt, "chkSaveDecodes", 1, nullptr, 0, 2,
               "Save Bad Decodes"},
    SettingDef{"chkSlave", K::Check, W::Login, Opt, "chkSlave", 0, nullptr, 0, 2, "Request Slave Status"},
    SettingDef{"chkXOVER", K::Check, W::Options, Opt, "chkXOVER", 0, nullptr, 0, 2,
               "XOVER burst receive 100 headers at a time"},
    SettingDef{"sldXOVER", K::Slider, W::Options, Opt, "sldXOVER", 100, nullptr, 20, 2000, nullptr},
    SettingDef{"chkAllowRestart", K::Check, W::Options, Opt, "chkAllowRestart", 1, nullptr, 0, 2,
               "Enable Emergency Restart"},
    SettingDef{"chkAllowGIF", K::Check, W::Options, Opt, "chkAllowGIF", 0, nullptr, 0, 2, "Allow GIF"},
    SettingDef{"chkAllowPNG", K::Check, W::Options, Opt, "chkAllowPNG", 0, nullptr, 0, 2, "Allow PNG"},
    SettingDef{"chkDeleteUUfoundfile", K::Check, W::Options, Opt, "chkDeleteUUfoundfile", 1, nullptr, 0, 2,
               "Do not save picture if mismatched uucode filename found in noredl"},
    SettingDef{"chkUseNameFromUUE", K::Check, W::Options, Opt, "chkUseNameFromUUE", 0, nullptr, 0, 2,
               "If filenames in subject/uucode do not match, use filename from uucode (otherwise will "
               "use subject filename)"},
    SettingDef{"chkAutodownload", K::Check, W::Options, Opt, "chkAutodownload", 1, nullptr, 0, 2,
               "AutoDownload [on/off]"},
    SettingDef{"chkMaxPGPS", K::Check, W::Options, Opt, "chkMaxPGPS", 0, nullptr, 0, 2,
               "Read Maximum 100 headers per group per scan"},
    SettingDef{"sldMaxPGPS", K::Slider, W::Options, Opt, "sldMaxPGPS", 100, nullptr, 5, 1000, nullptr},
    SettingDef{"chkEnableIVT", K::Check, W::Options, Opt, "chkEnableIVT", 1, nullptr, 0, 2,
               "Enable IVT JPEG test"},
    SettingDef{"chkLogFile", K::Check, W::Log, Opt, "chkLogFile", 0, nullptr, 0, 2, "Log to OPSLOG.TXT"},
    SettingDef{"chkEnableLogging", K::Check, W::Log, Opt, "chkEnableLogging", 0, nullptr, 0, 2, "Enable Log"},
    // TLS: saved after the classic keys so that older files read unchanged.
    SettingDef{"chkSSL", K::Check, W::Login, Opt, "chkSSL", 0, nullptr, 0, 2, "Use SSL/TLS (NNTPS)"},
    SettingDef{"chkSSLAllowSelfSigned", K::Check, W::Login, Opt, "chkSSLAllowSelfSigned", 0, nullptr, 0, 2,
               "Trust this server's certificate even if it is self-signed"},
    // SHA-256 of the certificate pinned at the first self-signed connection; no control.
    SettingDef{"SSL_Fingerprint", K::Text, W::Login, Opt, "SSL_Fingerprint", 0, "", 0, 0, nullptr},
    // Article requests the download keeps on their way at once (1: one at a time).
    SettingDef{"sldPipeline", K::Slider, W::Options, Opt, "sldPipeline", 8, nullptr, 1, 32, nullptr},
    // Download connections a run opens at once.
    SettingDef{"sldConnections", K::Slider, W::Options, Opt, "sldConnections", 1, nullptr, 1, 16, nullptr},
    SettingDef{"chkMultiPart", K::Check, W::Options, Opt, "chkMultiPart", 0, nullptr, 0, 2,
               "Assemble pictures posted in several parts"},
    // Hours a picture posted in several parts waits for its missing parts.
    SettingDef{"sldMultiPartHours", K::Slider, W::Options, Opt, "sldMultiPartHours", 24, nullptr, 1, 168,
               nullptr},

    // CSV_Options. The folder is saved from the label's caption; it is read into
    // CsvPath by the CSV index load, not here.
    SettingDef{"lblCSVpath", K::Text, W::Options, Csv, "CSV_Path", 0, "", 0, 0, nullptr},
    SettingDef{"chkCSVsavebadcrc", K::Check, W::Options, Csv, "chkCSVsavebadcrc", 1, nullptr, 0, 2,
               "Save files that fail CSV CRC32 match to CRCFAIL folder (otherwise will not save)"},
    SettingDef{"chkCSVusefolders", K::Check, W::Options, Csv, "chkCSVusefolders", 1, nullptr, 0, 2,
               "Save CSV matched, CRC32 verified files in 'CSVNAME' sub-folder"},
    SettingDef{"chkIgnoreCSV", K::Check, W::Options, Csv, "chkIgnoreCSV", 0, nullptr, 0, 2,
               "Require filename match in CSV (all other files will be ignored)"},
    SettingDef{"chkCSVusedescrip", K::Check, W::Options, Csv, "chkCSVusedescrip", 1, nullptr, 0, 2,
               "Substitute 'Series Name: Description' (from CSV) for Subject"},

    // Not saved: every run starts with these.
    SettingDef{"chkSpamScan", K::Check, W::Options, nullptr, nullptr, 0, nullptr, 0, 2, "Spam Scan"},
    SettingDef{"chkRecurse", K::Check, W::Options, nullptr, nullptr, 1, nullptr, 0, 2, "Recurse"},
};

} // namespace settingsTableRows

inline constexpr const auto &kSettingsTable = settingsTableRows::kRows;

// All settings, in the order they are saved (Options, then CSV_Options), followed by
// the ones that are never saved.
inline std::span<const SettingDef> settingsTable()
{
    return kSettingsTable;
}

} // namespace kestrel
