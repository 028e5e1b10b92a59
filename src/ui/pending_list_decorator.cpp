#include "ui/pending_list_decorator.h"

#include "ui/list_icons.h"

#include <QApplication>
#include <QPalette>

namespace kestrel {

PendingListDecorator::PendingListDecorator(int iconRole, int ghostedRole, QObject *parent)
    : QIdentityProxyModel(parent), m_iconRole(iconRole), m_ghostedRole(ghostedRole)
{
    for (int i = 0; i < int(m_icons.size()); ++i)
        m_icons[size_t(i)] = smallListIcon(i);
}

QVariant PendingListDecorator::data(const QModelIndex &index, int role) const
{
    if (role == Qt::DecorationRole && index.column() == 0) {
        const int icon = QIdentityProxyModel::data(index, m_iconRole).toInt();
        if (icon > 0 && icon < int(m_icons.size()))
            return m_icons[size_t(icon)];
        return {};
    }
    if (role == Qt::ForegroundRole && QIdentityProxyModel::data(index, m_ghostedRole).toBool())
        return QApplication::palette().brush(QPalette::Disabled, QPalette::Text);
    return QIdentityProxyModel::data(index, role);
}

} // namespace kestrel
