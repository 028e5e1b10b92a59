#include "ui/add_group_dialog.h"

#include "groups/add_group.h"

#include "base/context.h"
#include "scan/favourites.h"

#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>

namespace kestrel {

namespace {

QPushButton *button(QWidget *parent, const char *name, const QString &text)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(QString::fromLatin1(name));
    return b;
}

// The group-name file may be spelt in any case.
bool groupFileExists(const QString &folder)
{
    const QStringList names = QDir(folder).entryList(QDir::Files);
    return std::any_of(names.begin(), names.end(), [](const QString &n) {
        return n.compare(QLatin1String("newsgrps.txt"), Qt::CaseInsensitive) == 0;
    });
}

} // namespace

AddGroupDialog::AddGroupDialog(Context &ctx, FavouritesModel &favourites, QWidget *parent)
    : QDialog(parent), m_favourites(favourites)
{
    setObjectName(QStringLiteral("frmAddOne"));
    setWindowTitle(tr("Add a newsgroup"));
    auto *grid = new QGridLayout(this);
    grid->addWidget(new QLabel(tr("Download and/or Query your hosts complete list of newsgroups."), this), 0,
                    0);
    QPushButton *manager = button(this, "cmdGrM", tr("Group Manager"));
    grid->addWidget(manager, 0, 1);
    grid->addWidget(new QLabel(tr("Or add a group by simply typing or pasting it here:"), this), 1, 0, 1, 2);
    auto *name = new QLineEdit(this);
    name->setObjectName(QStringLiteral("Text1"));
    grid->addWidget(name, 2, 0, 1, 2);
    QPushButton *older = button(this, "cmdAdd", tr("NEWSGRPS.TXT"));
    older->setVisible(groupFileExists(ctx.state.appPath));
    QPushButton *ok = button(this, "cmdOK", tr("&Add"));
    ok->setDefault(true);
    QPushButton *close = button(this, "cmdExit", tr("&Close"));
    auto *row = new QHBoxLayout;
    row->addWidget(older);
    row->addStretch(1);
    row->addWidget(ok);
    row->addWidget(close);
    grid->addLayout(row, 3, 0, 1, 2);

    connect(ok, &QPushButton::clicked, this, [this] { addTyped(); });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(manager, &QPushButton::clicked, this, [this] {
        // Closed rather than hidden: the options window makes a new one each time.
        reject();
        Q_EMIT groupManagerWanted();
    });
    connect(older, &QPushButton::clicked, this, [this] {
        reject();
        Q_EMIT groupFilePickerWanted();
    });
}

bool AddGroupDialog::addTyped()
{
    if (!addTypedGroup(m_favourites, findChild<QLineEdit *>(QStringLiteral("Text1"))->text()))
        return false;
    accept();
    return true;
}

} // namespace kestrel
