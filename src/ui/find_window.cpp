#include "ui/find_window.h"

#include "ui/setting_binding.h"

#include "scan/pending_list_model.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace kestrel {

FindWindow::FindWindow(PendingListModel &model, QWidget *parent) : QWidget(parent, Qt::Window), m_model(model)
{
    setObjectName(QStringLiteral("frmSearch"));
    setWindowTitle(tr("Pending Download Find and Select"));
    auto *column = new QVBoxLayout(this);
    auto *note = new QLabel(
        QStringLiteral(
            "Use this feature to find matching pending downloads and select them.  Once selected you "
            "can remove them from the que, blacklist them, or move them to the top of the list so "
            "they are downloaded first using the buttons on the main screen.  You can search for "
            "any sub-string in any field."),
        this);
    note->setWordWrap(true);
    column->addWidget(note);

    m_text = new QLineEdit(this);
    m_text->setObjectName(QStringLiteral("txtSearch"));
    selectAllOnFocus(m_text);
    column->addWidget(m_text);

    auto *row = new QHBoxLayout;
    m_case = new QCheckBox(tr("Match Case"), this);
    m_case->setObjectName(QStringLiteral("chkCase"));
    row->addWidget(m_case);
    row->addStretch(1);
    m_search = new QPushButton(tr("&Find/Select"), this);
    m_search->setObjectName(QStringLiteral("cmdSearch"));
    m_search->setDefault(true);
    row->addWidget(m_search);
    auto *close = new QPushButton(tr("&Close"), this);
    close->setObjectName(QStringLiteral("cmdClose"));
    row->addWidget(close);
    column->addLayout(row);

    connect(m_search, &QPushButton::clicked, this, [this] { findAndSelect(); });
    connect(m_text, &QLineEdit::returnPressed, this, [this] { findAndSelect(); });
    connect(close, &QPushButton::clicked, this, &QWidget::hide);
}

int FindWindow::findAndSelect()
{
    if (m_text->text().isEmpty())
        return 0;
    m_search->setEnabled(false);
    const int n = m_model.findAndSelect(m_text->text(), m_case->isChecked());
    m_search->setEnabled(true);
    return n;
}

} // namespace kestrel
