#include "ui/options_window.h"

#include "ui/folder_picker.h"
#include "ui/setting_binding.h"

#include "base/context.h"
#include "scan/dupe_paths.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFocusEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QUrl>
#include <QVBoxLayout>

#include <optional>

namespace kestrel {

OptionsWindow::OptionsWindow(Context &ctx, Lists lists, QWidget *parent)
    : QWidget(parent, Qt::Window), m_ctx(ctx), m_lists(lists)
{
    setObjectName(QStringLiteral("frmFavs"));
    setWindowTitle(tr("Kestrel Options"));
    auto *column = new QVBoxLayout(this);
    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("TabStrip1"));
    m_tabs->addTab(buildNewsgroupsTab(), tr("Newsgroups"));
    m_tabs->addTab(buildDuplicatesTab(), tr("Duplicate Checking"));
    m_tabs->addTab(buildAntiSpamTab(), tr("ANTI-SPAM"));
    m_tabs->addTab(buildDownloadTab(), tr("Download"));
    m_tabs->addTab(buildScanTab(), tr("Scan"));
    m_tabs->addTab(buildCsvTab(), tr("CSV"));
    column->addWidget(m_tabs, 1);

    auto *row = new QHBoxLayout;
    row->addWidget(settingCheck(this, "chkSFX", ctx.settings));
    row->addStretch(1);
    auto *help = new QPushButton(tr("&Help"), this);
    help->setObjectName(QStringLiteral("cmdHelp"));
    auto *close = new QPushButton(tr("&Close"), this);
    close->setObjectName(QStringLiteral("cmdClose"));
    row->addWidget(help);
    row->addWidget(close);
    column->addLayout(row);
    connect(help, &QPushButton::clicked, this, &OptionsWindow::helpClicked);
    connect(close, &QPushButton::clicked, this, &QWidget::hide);

    coupleChecks();
    if (parent)
        centreOver(*parent);
}

void OptionsWindow::showNewsgroupsTab()
{
    m_tabs->setCurrentIndex(0);
}

void OptionsWindow::centreOver(const QWidget &other)
{
    adjustSize();
    const QRect main = other.frameGeometry();
    const QSize own = frameGeometry().size();
    move(main.left() + (main.width() - own.width()) / 2, main.top() + (main.height() - own.height()) / 2);
}

void OptionsWindow::closeEvent(QCloseEvent *event)
{
    event->ignore();
    hide();
}

void OptionsWindow::captionFollowsSlider(QWidget *captioned, SliderKey slider, const QString &before,
                                         const QString &after)
{
    const QString name = QString::fromLatin1(slider.def().name);
    const auto rewrite = [this, captioned, slider, before, after] {
        const QString caption = before + QString::number(m_ctx.settings.slider(slider)) + after;
        if (auto *label = qobject_cast<QLabel *>(captioned))
            label->setText(caption);
        else if (auto *box = qobject_cast<QAbstractButton *>(captioned))
            box->setText(caption);
    };
    connect(&m_ctx.settings, &SettingsStore::changed, captioned, [name, rewrite](const QString &changed) {
        if (changed == name)
            rewrite();
    });
    // The caption was designed for the default; a value loaded before the window was
    // made counts as a move.
    if (m_ctx.settings.slider(slider) != slider.def().defaultNumber)
        rewrite();
}

void OptionsWindow::coupleChecks()
{
    SettingsStore &s = m_ctx.settings;
    const auto applyOverall = [&s] {
        const bool on = s.checked(u"chkOverall");
        s.setEnabled(u"chkSpamScan", on);
        if (!on)
            s.setChecked(u"chkSpamScan", false);
    };
    const auto applySubDirs = [&s] { s.setEnabled(u"chkShortFolderNames", s.checked(u"chkMakeSubDirs")); };
    connect(&s, &SettingsStore::changed, this, [this, &s, applyOverall, applySubDirs](const QString &name) {
        if (name == QLatin1String("chkOverall"))
            applyOverall();
        else if (name == QLatin1String("chkMakeSubDirs"))
            applySubDirs();
        else if (name == QLatin1String("chkSpamScan") && s.checked(u"chkSpamScan"))
            m_ctx.prompter.message(QStringLiteral(
                "Caution: This is a special mode that does not download, but only shows you articles "
                "you would NOT get.  It is provided as a means of checking your various settings to "
                "see if something is killing articles you want.  Suggest you reset group after using "
                "this to re-scan for articles you DO want to download."));
    });
    applyOverall();
    applySubDirs();
}

// Only a move to another control of this window counts as leaving the box: the window
// being deactivated, hidden or covered by a popup takes the focus too, and warning then
// would pop a box up whenever the user merely looks elsewhere.
bool OptionsWindow::focusMovedWithinWindow(const QFocusEvent &event) const
{
    switch (event.reason()) {
    case Qt::ActiveWindowFocusReason:
    case Qt::PopupFocusReason:
    case Qt::MenuBarFocusReason:
        return false;
    default:
        break;
    }
    // Qt has already handed the focus on when the old holder hears of it.
    const QWidget *now = QApplication::focusWidget();
    return now && now != m_autodownload && isAncestorOf(now);
}

bool OptionsWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_autodownload && event->type() == QEvent::FocusOut && !m_autodownload->isChecked() &&
        focusMovedWithinWindow(*static_cast<QFocusEvent *>(event)))
        m_ctx.prompter.message(QStringLiteral(
            "Caution: You have disabled the automatic start of the download procedure at the end of "
            "a scan.  You will need to start the download procedure manually."));
    return QWidget::eventFilter(watched, event);
}

namespace {

QLabel *caption(QWidget *parent, const char *name, const QString &text)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setWordWrap(true);
    return label;
}

QPushButton *button(QWidget *parent, const char *name, const QString &text)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(QString::fromLatin1(name));
    return b;
}

} // namespace

QWidget *OptionsWindow::buildDownloadTab()
{
    SettingsStore &s = m_ctx.settings;
    auto *page = new QWidget;
    auto *column = new QVBoxLayout(page);
    column->addWidget(new QLabel(tr("Base Download Path:"), page));
    auto *row = new QHBoxLayout;
    auto *path = new QLabel(page);
    path->setObjectName(QStringLiteral("lblDownloadPath"));
    bindLabel(path, s);
    row->addWidget(path, 1);
    QPushButton *browse = button(page, "cmdBrowseDLPath", tr("Browse..."));
    connect(browse, &QPushButton::clicked, this, [this] { openDownloadPicker(); });
    row->addWidget(browse);
    column->addLayout(row);
    const CheckKey checks[] = {"chkMakeSubDirs", "chkShortFolderNames", "chkSaveHeaders",
                               "chkSaveDecodes", "chkEnableIVT",        "chkSaveACDsee"};
    for (const CheckKey key : checks)
        column->addWidget(settingCheck(page, key, s));
    QLabel *timeout = caption(page, "lblTimeout", tr("Restart connection if inactive more than 60 seconds"));
    column->addWidget(timeout);
    column->addWidget(settingSlider(page, "sldTimeout", s));
    captionFollowsSlider(timeout, "sldTimeout", QStringLiteral("Restart connection if inactive more than "),
                         QStringLiteral(" seconds"));
    QLabel *pipeline = caption(page, "lblPipeline", tr("Article requests in flight per connection: 8"));
    column->addWidget(pipeline);
    column->addWidget(settingSlider(page, "sldPipeline", s));
    captionFollowsSlider(pipeline, "sldPipeline",
                         QStringLiteral("Article requests in flight per connection: "), QString());
    QLabel *connections = caption(page, "lblConnections", tr("Download connections: 1"));
    column->addWidget(connections);
    column->addWidget(settingSlider(page, "sldConnections", s));
    captionFollowsSlider(connections, "sldConnections", QStringLiteral("Download connections: "), QString());
    column->addStretch(1);
    return page;
}

QWidget *OptionsWindow::buildScanTab()
{
    SettingsStore &s = m_ctx.settings;
    auto *page = new QWidget;
    auto *column = new QVBoxLayout(page);
    QCheckBox *rescan = settingCheck(page, "chkReScan", s);
    column->addWidget(rescan);
    column->addWidget(settingSlider(page, "sldRescan", s));
    captionFollowsSlider(rescan, "sldRescan", QStringLiteral("Circular Re-Scan ["),
                         QStringLiteral(" seconds]"));
    column->addWidget(settingCheck(page, "chkAllowRestart", s));
    m_autodownload = settingCheck(page, "chkAutodownload", s);
    m_autodownload->installEventFilter(this);
    column->addWidget(m_autodownload);
    QCheckBox *maxPgps = settingCheck(page, "chkMaxPGPS", s);
    column->addWidget(maxPgps);
    column->addWidget(settingSlider(page, "sldMaxPGPS", s));
    captionFollowsSlider(maxPgps, "sldMaxPGPS", QStringLiteral("Read Maximum "),
                         QStringLiteral(" Headers per group per scan"));
    QCheckBox *xover = settingCheck(page, "chkXOVER", s);
    column->addWidget(xover);
    column->addWidget(settingSlider(page, "sldXOVER", s));
    captionFollowsSlider(xover, "sldXOVER", QStringLiteral("XOVER burst receive "),
                         QStringLiteral(" headers at a time"));
    QLabel *maxPending =
        caption(page, "lblMaxPending",
                tr("Allow 100 files in pending downloads list before stopping scan and starting download"));
    column->addWidget(maxPending);
    column->addWidget(settingSlider(page, "sldMaxPending", s));
    captionFollowsSlider(
        maxPending, "sldMaxPending", QStringLiteral("Allow "),
        QStringLiteral(" files in pending downloads list before stopping scan and starting download"));
    column->addStretch(1);
    return page;
}

QWidget *OptionsWindow::buildCsvTab()
{
    SettingsStore &s = m_ctx.settings;
    auto *page = new QWidget;
    auto *column = new QVBoxLayout(page);
    auto *row = new QHBoxLayout;
    row->addWidget(caption(page, "lblCSVp", tr("CSV Path:")));
    auto *path = new QLabel(page);
    path->setObjectName(QStringLiteral("lblCSVpath"));
    bindLabel(path, s);
    row->addWidget(path, 1);
    QPushButton *browse = button(page, "cmdCSVbrowse", tr("Browse..."));
    connect(browse, &QPushButton::clicked, this, [this] { openCsvPicker(); });
    row->addWidget(browse);
    column->addLayout(row);
    const CheckKey checks[] = {"chkCSVusedescrip", "chkCSVusefolders", "chkCSVsavebadcrc", "chkIgnoreCSV"};
    for (const CheckKey key : checks)
        column->addWidget(settingCheck(page, key, s));
    QPushButton *web = button(page, "cmdWebSiteCSVresources", tr("Kestrel CSV Resources Web Page"));
    // There is no public page about CSV index files for this program; the button opens
    // the folder they are read from, where the user puts them. A desktop that cannot
    // open it is not the program's concern.
    connect(web, &QPushButton::clicked, this, [this] { QDesktopServices::openUrl(csvResourcesAddress()); });
    auto *webRow = new QHBoxLayout;
    webRow->addWidget(web);
    webRow->addStretch(1);
    column->addLayout(webRow);
    column->addStretch(1);
    return page;
}

QUrl OptionsWindow::csvResourcesAddress() const
{
    return QUrl::fromLocalFile(m_ctx.state.csvPath);
}

FolderPicker *OptionsWindow::openPicker(int kind)
{
    if (m_picker)
        m_picker->close();
    const auto k = FolderPicker::Kind(kind);
    auto *picker = new FolderPicker(k, m_ctx.prompter, this);
    picker->setAttribute(Qt::WA_DeleteOnClose);
    const std::optional<TextKey> setting = k == FolderPicker::Kind::Download ? TextKey(u"lblDownloadPath")
                                           : k == FolderPicker::Kind::Csv    ? TextKey(u"lblCSVpath")
                                                                             : std::optional<TextKey>();
    if (setting && !m_ctx.settings.text(*setting).isEmpty())
        picker->setFolder(m_ctx.settings.text(*setting));
    connect(picker, &QDialog::accepted, this, [this, picker, setting] {
        const QString chosen = picker->selection();
        if (setting) {
            m_ctx.settings.setText(*setting, chosen);
        } else if (!chosen.trimmed().isEmpty()) {
            m_lists.dupePaths.addDupeFolder(chosen);
            if (picker->recurse())
                m_lists.dupePaths.addSubfolders(chosen);
        }
    });
    m_picker = picker;
    picker->open();
    return picker;
}

FolderPicker *OptionsWindow::openDownloadPicker()
{
    return openPicker(int(FolderPicker::Kind::Download));
}

FolderPicker *OptionsWindow::openCsvPicker()
{
    return openPicker(int(FolderPicker::Kind::Csv));
}

FolderPicker *OptionsWindow::openDupesPicker()
{
    return openPicker(int(FolderPicker::Kind::Dupes));
}

} // namespace kestrel
