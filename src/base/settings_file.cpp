#include "base/settings_file.h"

#include "base/ini_file.h"
#include "base/settings_store.h"

#include <cmath>

namespace kestrel {
namespace {

const QByteArray kOptions = "Options";
const QByteArray kCsvOptions = "CSV_Options";
const QByteArray kSizing = "Sizing";
const QByteArray kColumns = "Columns";

std::optional<qint64> leadingInteger(const QByteArray &text)
{
    qsizetype i = 0;
    const bool negative = i < text.size() && (text[i] == '-' || text[i] == '+') && text[i++] == '-';
    qint64 value = 0;
    const qsizetype firstDigit = i;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > (qint64(1) << 40))
            break; // far beyond any range; clamping decides the rest
    }
    if (i == firstDigit)
        return std::nullopt;
    return negative ? -value : value;
}

// Stores one read value into its setting; returns a note when the value did not fit.
QString loadOne(const IniFile &ini, SettingsStore &settings, const SettingDef &d)
{
    const QByteArray raw = ini.read(d.section, d.key);
    if (raw.isEmpty())
        return {};
    const int index = SettingsStore::indexOf(QString::fromLatin1(d.name));
    if (d.kind == SettingKind::Text) {
        settings.setTextAt(index, ini.readText(d.section, d.key));
        return {};
    }
    const auto n = leadingInteger(raw);
    if (!n)
        return QStringLiteral("Setting %1=%2 is not a number; default kept.")
            .arg(QLatin1String(d.key), QLatin1String(raw));
    // A check box has no nearest state: clamping 5 to 2 would turn a typo into "dimmed".
    if (d.kind == SettingKind::Check && (*n < d.min || *n > d.max))
        return QStringLiteral("Setting %1=%2 is out of range; default kept.")
            .arg(QLatin1String(d.key), QLatin1String(raw));
    const int clipped = int(std::clamp<qint64>(*n, INT_MIN, INT_MAX));
    if (!settings.setNumberAt(index, clipped) || clipped != *n)
        return QStringLiteral("Setting %1=%2 is out of range; %3 used.")
            .arg(QLatin1String(d.key), QLatin1String(raw))
            .arg(settings.numberAt(index));
    return {};
}

void appendNote(QStringList &notes, const QString &note)
{
    if (!note.isEmpty())
        notes << note;
}

QByteArray numberText(double v)
{
    return QByteArray::number(v, 'g', 10);
}

} // namespace

std::optional<double> leadingNumber(const QByteArray &text)
{
    const QByteArray t = text.trimmed();
    qsizetype end = 0;
    if (end < t.size() && (t[end] == '-' || t[end] == '+'))
        ++end;
    bool digits = false;
    while (end < t.size() && std::isdigit(static_cast<unsigned char>(t[end]))) {
        ++end;
        digits = true;
    }
    if (end < t.size() && t[end] == '.') {
        ++end;
        while (end < t.size() && std::isdigit(static_cast<unsigned char>(t[end]))) {
            ++end;
            digits = true;
        }
    }
    if (!digits)
        return std::nullopt;
    bool ok = false;
    const double v = t.left(end).toDouble(&ok);
    return ok && std::isfinite(v) ? std::optional<double>(v) : std::nullopt;
}

QStringList loadSettings(const IniFile &ini, SettingsStore &settings, const QString &csvPath, bool csvLoaded)
{
    QStringList notes;
    // chkSaveACDsee is read before chkShortFolderNames; otherwise table order.
    std::vector<const SettingDef *> order;
    for (const SettingDef &d : settingsTable()) {
        if (d.section && QByteArray(d.section) == kOptions)
            order.push_back(&d);
    }
    for (size_t i = 0; i + 1 < order.size(); ++i) {
        if (QByteArray(order[i]->name) == "chkShortFolderNames" &&
            QByteArray(order[i + 1]->name) == "chkSaveACDsee")
            std::swap(order[i], order[i + 1]);
    }
    for (const SettingDef *d : order)
        appendNote(notes, loadOne(ini, settings, *d));
    notes << loadCsvOptions(ini, settings, csvPath, csvLoaded);
    return notes;
}

void saveSettings(IniFile &ini, const SettingsStore &settings)
{
    for (const SettingDef &d : settingsTable()) {
        if (!d.section || QByteArray(d.section) != kOptions)
            continue;
        const int i = SettingsStore::indexOf(QString::fromLatin1(d.name));
        if (d.kind != SettingKind::Text) {
            ini.write(kOptions, d.key, QByteArray::number(settings.numberAt(i)));
            continue;
        }
        QString value = settings.textAt(i).trimmed();
        // The password is kept only when the user asked for it; otherwise an empty
        // value erases one stored earlier.
        if (QByteArray(d.key) == "User_Pass" && !settings.checked(u"chkSavePassword"))
            value.clear();
        ini.writeText(kOptions, d.key, value);
    }
    saveCsvOptions(ini, settings);
}

QString loadCsvPath(const IniFile &ini, const QString &appPath)
{
    const QString stored = ini.readText(kCsvOptions, "CSV_Path").trimmed();
    if (stored.isEmpty())
        return appPath + QStringLiteral("/CSV/");
    return stored.endsWith(QLatin1Char('/')) ? stored : stored + QLatin1Char('/');
}

QStringList loadCsvOptions(const IniFile &ini, SettingsStore &settings, const QString &csvPath,
                           bool csvLoaded)
{
    QStringList notes;
    settings.setText(u"lblCSVpath", csvPath);
    appendNote(notes, loadOne(ini, settings, CheckKey(u"chkCSVsavebadcrc").def()));
    appendNote(notes, loadOne(ini, settings, CheckKey(u"chkCSVusefolders").def()));
    if (csvLoaded) {
        settings.setEnabled(u"chkIgnoreCSV", true);
        appendNote(notes, loadOne(ini, settings, CheckKey(u"chkIgnoreCSV").def()));
    } else {
        // Without any CSV file loaded, requiring a CSV match would reject everything.
        settings.setNumber(u"chkIgnoreCSV", 0);
        settings.setEnabled(u"chkIgnoreCSV", false);
    }
    appendNote(notes, loadOne(ini, settings, CheckKey(u"chkCSVusedescrip").def()));
    return notes;
}

void saveCsvOptions(IniFile &ini, const SettingsStore &settings)
{
    ini.writeText(kCsvOptions, "CSV_Path", settings.text(u"lblCSVpath").trimmed());
    const CheckKey keys[] = {"chkCSVsavebadcrc", "chkCSVusefolders", "chkIgnoreCSV", "chkCSVusedescrip"};
    for (const CheckKey key : keys)
        ini.write(kCsvOptions, key.def().name, QByteArray::number(settings.checkState(key)));
}

WindowPlacement loadWindowPlacement(const IniFile &ini)
{
    WindowPlacement p;
    p.top = leadingNumber(ini.read(kSizing, "Top"));
    if (!p.top)
        return p;
    p.left = leadingNumber(ini.read(kSizing, "Left"));
    p.width = leadingNumber(ini.read(kSizing, "Width"));
    p.height = leadingNumber(ini.read(kSizing, "height"));
    if (const auto s = leadingInteger(ini.read(kSizing, "WindowState")))
        p.windowState = int(std::clamp<qint64>(*s, 0, 2));
    return p;
}

void saveWindowPlacement(IniFile &ini, int windowState, double top, double left, double width, double height)
{
    ini.write(kSizing, "WindowState", QByteArray::number(windowState));
    if (windowState != 0)
        return; // keep the last normal placement
    ini.write(kSizing, "Top", numberText(top));
    ini.write(kSizing, "Left", numberText(left));
    ini.write(kSizing, "Height", numberText(height));
    ini.write(kSizing, "Width", numberText(width));
}

std::array<int, 8> loadColumnWidths(const IniFile &ini)
{
    std::array<int, 8> widths{};
    for (int c = 0; c < 8; ++c) {
        const auto v = leadingNumber(ini.read(kColumns, "C" + QByteArray::number(c + 1)));
        const double rounded = v ? std::round(*v) : 0.0;
        widths[size_t(c)] =
            rounded < 1 || rounded > 1e6 ? kPendingColumns[size_t(c)].defaultWidth : int(rounded);
    }
    return widths;
}

void saveColumnWidths(IniFile &ini, const std::array<int, 8> &widths)
{
    for (int c = 0; c < 8; ++c)
        ini.write(kColumns, "C" + QByteArray::number(c + 1), QByteArray::number(widths[size_t(c)]));
}

} // namespace kestrel
