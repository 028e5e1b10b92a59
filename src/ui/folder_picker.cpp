#include "ui/folder_picker.h"

#include "base/prompter.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace kestrel {

namespace {

struct PickerText {
    const char *name;
    const char *caption;
    const char *note;
};

PickerText pickerText(FolderPicker::Kind kind)
{
    switch (kind) {
    case FolderPicker::Kind::Download:
        return {"frmBrowse", "Select 'Base Download' Folder",
                "This is the folder where downloded files are saved (or folders are made with individual "
                "group names, if 'Create Sub-Folders for each group' is on)."};
    case FolderPicker::Kind::Csv:
        return {"frmBrowseCSVpath", "Select Folder where your CSV files are located",
                "Note: If you change this path, you need to exit kestrel and restart to load csv files from "
                "your new path."};
    case FolderPicker::Kind::Dupes:
        break;
    }
    return {"frmBrowseDupes", "Add Folder to check for duplicates", nullptr};
}

QPushButton *button(QWidget *parent, const char *name, const QString &caption)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    return b;
}

} // namespace

FolderPicker::FolderPicker(Kind kind, Prompter &prompter, QWidget *parent)
    : QDialog(parent), m_prompter(prompter)
{
    const PickerText text = pickerText(kind);
    setObjectName(QString::fromLatin1(text.name));
    setWindowTitle(QString::fromLatin1(text.caption));
    auto *column = new QVBoxLayout(this);

    m_drives = new QComboBox(this);
    m_drives->setObjectName(QStringLiteral("Drive1"));
    for (const QFileInfo &drive : QDir::drives())
        m_drives->addItem(drive.absoluteFilePath());
    column->addWidget(m_drives);

    m_model = new QFileSystemModel(this);
    m_model->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
    m_model->setRootPath(QString());
    m_dirs = new QTreeView(this);
    m_dirs->setObjectName(QStringLiteral("Dir1"));
    m_dirs->setModel(m_model);
    for (int c = 1; c < m_model->columnCount(); ++c)
        m_dirs->hideColumn(c);
    m_dirs->header()->hide();
    column->addWidget(m_dirs, 1);

    auto *current = new QLabel(tr("Current Selection:"), this);
    current->setObjectName(QStringLiteral("lblLabels"));
    column->addWidget(current);
    m_path = new QLabel(this);
    m_path->setObjectName(QStringLiteral("lblPath"));
    column->addWidget(m_path);
    if (text.note) {
        auto *note = new QLabel(QString::fromLatin1(text.note), this);
        note->setWordWrap(true);
        column->addWidget(note);
    }
    if (kind == Kind::Dupes) {
        m_recurse = new QCheckBox(tr("Also add one level of folders under this folder"), this);
        m_recurse->setObjectName(QStringLiteral("chkRecurse"));
        column->addWidget(m_recurse);
    }

    auto *row = new QHBoxLayout;
    if (kind == Kind::Download) {
        QPushButton *make = button(this, "Command1", tr("&New Folder"));
        connect(make, &QPushButton::clicked, this, &FolderPicker::openNewFolderDialog);
        row->addWidget(make);
    }
    row->addStretch(1);
    QPushButton *ok = button(this, "cmdOK", tr("OK"));
    ok->setDefault(true);
    QPushButton *cancel = button(this, "cmdExit", tr("&Cancel"));
    row->addWidget(ok);
    row->addWidget(cancel);
    column->addLayout(row);

    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_drives, &QComboBox::currentTextChanged, this, &FolderPicker::setFolder);
    connect(m_dirs->selectionModel(), &QItemSelectionModel::currentChanged, this, &FolderPicker::showCurrent);
    setFolder(QDir::homePath());
}

QString FolderPicker::withOneSlash(QString path)
{
    while (path.size() > 1 && path.endsWith(u'/') && path.at(path.size() - 2) == u'/')
        path.chop(1);
    if (!path.endsWith(u'/'))
        path += u'/';
    return path;
}

void FolderPicker::setFolder(const QString &folder)
{
    QString path = folder.isEmpty() ? m_drives->currentText() : folder;
    if (path.size() > 1 && path.endsWith(u'/'))
        path.chop(1);
    const QModelIndex index = m_model->index(QDir::cleanPath(path));
    if (!index.isValid())
        return;
    m_dirs->setCurrentIndex(index);
    m_dirs->scrollTo(index);
    showCurrent();
}

void FolderPicker::showCurrent()
{
    const QModelIndex index = m_dirs->currentIndex();
    if (index.isValid())
        m_path->setText(withOneSlash(m_model->filePath(index)));
}

QString FolderPicker::selection() const
{
    return m_path->text();
}

bool FolderPicker::recurse() const
{
    return m_recurse && m_recurse->isChecked();
}

void FolderPicker::openNewFolderDialog()
{
    auto *dialog = new NewFolderDialog(*this, m_prompter);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
}

NewFolderDialog::NewFolderDialog(FolderPicker &picker, Prompter &prompter)
    : QDialog(&picker), m_picker(picker), m_prompter(prompter)
{
    setObjectName(QStringLiteral("frmMakePath"));
    setWindowTitle(tr("Create new folder"));
    auto *column = new QVBoxLayout(this);
    auto *name = new QLineEdit(this);
    name->setObjectName(QStringLiteral("Text1"));
    column->addWidget(name);
    auto *row = new QHBoxLayout;
    row->addStretch(1);
    QPushButton *ok = button(this, "cmdOK", tr("OK"));
    ok->setDefault(true);
    QPushButton *cancel = button(this, "cmdCancel", tr("&Cancel"));
    row->addWidget(ok);
    row->addWidget(cancel);
    column->addLayout(row);
    connect(ok, &QPushButton::clicked, this, [this] { create(); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

bool NewFolderDialog::create()
{
    const QString name = findChild<QLineEdit *>(QStringLiteral("Text1"))->text();
    if (name.trimmed().isEmpty())
        return false;
    const QString path = m_picker.selection() + name;
    // A name that cannot be made (a "/" in it, no permission) leaves the dialog open.
    if (name.contains(u'/') || !QDir().mkdir(path)) {
        m_prompter.message(tr("Could not create the folder %1").arg(path));
        return false;
    }
    m_picker.setFolder(path);
    accept();
    return true;
}

} // namespace kestrel
