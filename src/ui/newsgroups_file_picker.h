#pragma once

#include "groups/add_group.h"

#include <QDialog>

class QLineEdit;
class QListWidget;

namespace kestrel {

class Context;
class FavouritesModel;

// frmGroup, "NEWSGRPS.TXT": the older way to pick favourite groups, from the names
// listed in NEWSGRPS.TXT (the file is read, or created empty, when the window opens).
class NewsgroupsFilePicker : public QDialog {
    Q_OBJECT
public:
    NewsgroupsFilePicker(Context &ctx, FavouritesModel &favourites, QWidget *parent = nullptr);

    // cmdSearch: selects the next entry containing the text of Text1.
    void searchNext();
    // cmdAdd: the selected entries become favourites (saved at once) and are deselected.
    void addSelections();

private:
    FavouritesModel &m_favourites;
    NewsgroupsPicker m_picker;
    QListWidget *m_list = nullptr;
    QLineEdit *m_text = nullptr;
};

} // namespace kestrel
