#pragma once

#include <QObject>

class QAbstractItemModel;
class QAbstractItemView;
class QItemSelection;

namespace kestrel {

// Keeps a view's row selection and a model's selected states (selectedRole, set
// through setData) equal both ways. The view may show the model through an identity
// proxy. Create the mirror before the view is given the model: the model's "about to
// change rows" signals must reach the mirror before the view reacts to them, so that
// the view's own selection updates during an insertion or removal are not taken for
// the user's choices.
class SelectionMirror : public QObject {
    Q_OBJECT
public:
    SelectionMirror(QAbstractItemModel &source, int selectedRole, QObject *parent = nullptr);

    // Starts mirroring once the view shows the model.
    void attach(QAbstractItemView *view);
    // Sets the view's selection from the model.
    void syncWholeView();

private:
    void viewSelectionChanged(const QItemSelection &selected, const QItemSelection &deselected);
    void syncViewRows(int first, int last);
    bool modelSelected(int row) const;

    QAbstractItemModel &m_source;
    int m_role;
    QAbstractItemView *m_view = nullptr;
    bool m_modelChanging = false;
    bool m_syncing = false;
};

} // namespace kestrel
