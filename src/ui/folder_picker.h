#pragma once

#include <QDialog>

class QCheckBox;
class QComboBox;
class QFileSystemModel;
class QLabel;
class QTreeView;

namespace kestrel {

class Prompter;

// The folder pickers: frmBrowse (base download folder, with a new-folder button),
// frmBrowseCSVpath (CSV folder) and frmBrowseDupes (a duplicate-check folder, with its
// own recurse box). lblPath always shows the folder list's folder ending in exactly
// one "/". The caller reads selection() when the dialog is accepted; Cancel rejects.
class FolderPicker : public QDialog {
    Q_OBJECT
public:
    enum class Kind { Download, Csv, Dupes };

    FolderPicker(Kind kind, Prompter &prompter, QWidget *parent = nullptr);

    // Moves the folder list to a folder (the drive root when it is empty).
    void setFolder(const QString &folder);
    QString selection() const;
    // frmBrowseDupes: also add one level of folders under the chosen one.
    bool recurse() const;

    // A folder path with exactly one "/" at its end.
    static QString withOneSlash(QString path);

    // Command1 (the new-folder button): the dialog (frmMakePath), opened without blocking.
    void openNewFolderDialog();

private:
    void showCurrent();

    Prompter &m_prompter;
    QComboBox *m_drives = nullptr;
    QFileSystemModel *m_model = nullptr;
    QTreeView *m_dirs = nullptr;
    QLabel *m_path = nullptr;
    QCheckBox *m_recurse = nullptr;
};

// frmMakePath: creates a folder inside the picker's current folder and moves the
// picker to it.
class NewFolderDialog : public QDialog {
    Q_OBJECT
public:
    NewFolderDialog(FolderPicker &picker, Prompter &prompter);
    // cmdOK: returns whether a folder was made (the dialog then closes).
    bool create();

private:
    FolderPicker &m_picker;
    Prompter &m_prompter;
};

} // namespace kestrel
