#include "ui/newsgroups_file_picker.h"

#include "base/number_text.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace kestrel {

namespace {

QPushButton *button(QWidget *parent, const char *name, const QString &text, QStyle::StandardPixmap icon)
{
    auto *b = new QPushButton(parent->style()->standardIcon(icon), text, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    return b;
}

} // namespace

NewsgroupsFilePicker::NewsgroupsFilePicker(Context &ctx, FavouritesModel &favourites, QWidget *parent)
    : QDialog(parent), m_favourites(favourites), m_picker(ctx)
{
    setObjectName(QStringLiteral("frmGroup"));
    setWindowTitle(QStringLiteral("NEWSGRPS.TXT"));
    auto *column = new QVBoxLayout(this);

    auto *searchRow = new QHBoxLayout;
    QPushButton *search = button(this, "cmdSearch", tr("Search:"), QStyle::SP_FileDialogContentsView);
    m_text = new QLineEdit(this);
    m_text->setObjectName(QStringLiteral("Text1"));
    searchRow->addWidget(search);
    searchRow->addWidget(m_text, 1);
    column->addLayout(searchRow);

    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("List1"));
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setUniformItemSizes(true);
    column->addWidget(m_list, 1);

    auto *buttons = new QHBoxLayout;
    QPushButton *add = button(this, "cmdAdd", tr("&Add Selections"), QStyle::SP_DialogApplyButton);
    QPushButton *close = button(this, "cmdClose", tr("&Close"), QStyle::SP_DialogCloseButton);
    buttons->addStretch(1);
    buttons->addWidget(add);
    buttons->addWidget(close);
    column->addLayout(buttons);

    connect(search, &QPushButton::clicked, this, &NewsgroupsFilePicker::searchNext);
    connect(m_text, &QLineEdit::returnPressed, this, &NewsgroupsFilePicker::searchNext);
    connect(add, &QPushButton::clicked, this, &NewsgroupsFilePicker::addSelections);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);

    m_picker.load();
    for (const QByteArray &name : m_picker.names())
        m_list->addItem(displayText(name));
    resize(380, 420);
}

void NewsgroupsFilePicker::searchNext()
{
    const int found = m_picker.searchNext(m_list->currentRow(), m_text->text());
    if (found < 0)
        return;
    m_list->setCurrentRow(found, QItemSelectionModel::ClearAndSelect);
    m_list->scrollToItem(m_list->item(found));
}

void NewsgroupsFilePicker::addSelections()
{
    QList<int> selected;
    for (int i = 0; i < m_list->count(); ++i) {
        if (!m_list->item(i)->isSelected())
            continue;
        selected.append(i);
        m_list->item(i)->setSelected(false);
    }
    m_picker.addSelections(m_favourites, selected);
}

} // namespace kestrel
