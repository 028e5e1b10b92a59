#pragma once

#include "ui/folder_picker.h"

#include "base/settings_key.h"

#include <QPointer>
#include <QUrl>
#include <QWidget>

class QCheckBox;
class QFocusEvent;
class QLabel;
class QLineEdit;
class QListWidget;
class QTabWidget;
class QTreeView;

namespace kestrel {

class Blacklist;
class Context;
class DupePaths;
class FavouritesModel;
class NoRedlList;

// frmFavs, "Kestrel Options": every option and the favourite-group list. Each control
// edits the setting of its name at once (there is no OK step), so the window lives as
// long as the program and closing it only hides it.
class OptionsWindow : public QWidget {
    Q_OBJECT
public:
    struct Lists {
        FavouritesModel &favourites;
        NoRedlList &noRedl;
        DupePaths &dupePaths;
        Blacklist &blacklist;
    };

    OptionsWindow(Context &ctx, Lists lists, QWidget *parent = nullptr);

    // Brings the favourite-group page to the front.
    void showNewsgroupsTab();
    // Centres the window over another one (the main window).
    void centreOver(const QWidget &other);

    // Favourite-group commands (cmdToggleRead, cmdReset, cmdDelete, cmdUP, cmdDN).
    void toggleSelectedGroups();
    void resetSelectedGroups();
    void deleteSelectedGroups();
    void moveSelectedGroup(int delta);
    // A click on a column header of the group list.
    void groupHeaderClicked(int column);

    // The folder pickers, opened without blocking; the picker is reachable until it
    // closes.
    FolderPicker *openDownloadPicker();
    FolderPicker *openCsvPicker();
    FolderPicker *openDupesPicker();
    FolderPicker *picker() const { return m_picker; }

    // The address cmdWebSiteCSVresources opens.
    QUrl csvResourcesAddress() const;

Q_SIGNALS:
    void addGroupClicked(); // cmdAddOne
    void helpClicked();     // cmdHelp

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool focusMovedWithinWindow(const QFocusEvent &event) const;
    QWidget *buildNewsgroupsTab();
    QWidget *buildDuplicatesTab();
    QWidget *buildAntiSpamTab();
    QWidget *buildDownloadTab();
    QWidget *buildScanTab();
    QWidget *buildCsvTab();
    // A label (or check box) whose caption follows a slider once the slider moves.
    void captionFollowsSlider(QWidget *captioned, SliderKey slider, const QString &before,
                              const QString &after);
    void coupleChecks();
    bool anyGroupSelected();
    void addDupeFolder();
    void removeDupeFolders();
    void addBlacklistEntry();
    void deleteBlacklistEntry();
    FolderPicker *openPicker(int kind);

    Context &m_ctx;
    Lists m_lists;
    QTabWidget *m_tabs = nullptr;
    QTreeView *m_groups = nullptr;
    QListWidget *m_dupes = nullptr;
    QLineEdit *m_dupeAdd = nullptr;
    QLabel *m_dlistSize = nullptr;
    QListWidget *m_blacklist = nullptr;
    QLineEdit *m_blacklistAdd = nullptr;
    QCheckBox *m_autodownload = nullptr;
    QPointer<FolderPicker> m_picker;
    int m_groupSortColumn = -1;
    Qt::SortOrder m_groupSortOrder = Qt::AscendingOrder;
};

} // namespace kestrel
