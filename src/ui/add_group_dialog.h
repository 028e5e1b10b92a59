#pragma once

#include <QDialog>

namespace kestrel {

class Context;
class FavouritesModel;

// frmAddOne, "Add a newsgroup": a group typed or pasted is added to the favourites;
// the other two ways in (the group manager and the NEWSGRPS.TXT picker) are signalled.
class AddGroupDialog : public QDialog {
    Q_OBJECT
public:
    AddGroupDialog(Context &ctx, FavouritesModel &favourites, QWidget *parent = nullptr);

    // cmdOK: returns whether a name was given (the dialog then closes).
    bool addTyped();

Q_SIGNALS:
    void groupManagerWanted();    // cmdGrM
    void groupFilePickerWanted(); // cmdAdd

private:
    FavouritesModel &m_favourites;
};

} // namespace kestrel
