#pragma once

#include <QIcon>
#include <QIdentityProxyModel>

#include <array>

namespace kestrel {

// Shows the pending list as the list control did: the entry's small icon in front of
// the file name and ghosted entries greyed out. Rows and columns are the source's.
class PendingListDecorator : public QIdentityProxyModel {
    Q_OBJECT
public:
    // iconRole holds the small icon's index, ghostedRole whether the entry is ghosted.
    PendingListDecorator(int iconRole, int ghostedRole, QObject *parent = nullptr);

    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    int m_iconRole;
    int m_ghostedRole;
    std::array<QIcon, 4> m_icons;
};

} // namespace kestrel
