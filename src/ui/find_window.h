#pragma once

#include <QWidget>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace kestrel {

class PendingListModel;

// frmSearch: selects every queued pending entry that holds a text. It only ever adds
// to the selection. Closing hides it.
class FindWindow : public QWidget {
    Q_OBJECT
public:
    explicit FindWindow(PendingListModel &model, QWidget *parent = nullptr);

    // cmdSearch: returns how many entries this search selected.
    int findAndSelect();

private:
    PendingListModel &m_model;
    QLineEdit *m_text = nullptr;
    QCheckBox *m_case = nullptr;
    QPushButton *m_search = nullptr;
};

} // namespace kestrel
