#include "ui/log_window.h"

#include "base/context.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace kestrel {

LogWindow::LogWindow(Context &ctx, QWidget *parent) : QWidget(parent, Qt::Window), m_ctx(ctx)
{
    setObjectName(QStringLiteral("frmLOG"));
    setWindowTitle(QStringLiteral("LOG"));

    auto *title = new QLabel(QStringLiteral("Log of activity this session."));
    title->setObjectName(QStringLiteral("lblTitle"));
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    auto *order = new QLabel(QStringLiteral("(in reverse chronological order) "));
    order->setObjectName(QStringLiteral("lblOrder"));

    auto *enable = new QCheckBox(QStringLiteral("Enable Log"));
    enable->setObjectName(QStringLiteral("chkEnableLogging"));
    auto *toFile = new QCheckBox(QStringLiteral("Log to OPSLOG.TXT"));
    toFile->setObjectName(QStringLiteral("chkLogFile"));
    bindSwitch(enable, u"chkEnableLogging");
    bindSwitch(toFile, u"chkLogFile");

    auto *clear = new QPushButton(tr("C&lear"));
    clear->setObjectName(QStringLiteral("cmdClear"));
    clear->setToolTip(tr("Empty the list (OPSLOG.TXT is kept)"));
    connect(clear, &QPushButton::clicked, this, [this] { m_ctx.log.clear(); });
    auto *close = new QPushButton(tr("&Close"));
    close->setObjectName(QStringLiteral("cmdClose"));
    connect(close, &QPushButton::clicked, this, &QWidget::hide);

    m_list = new QListWidget;
    m_list->setObjectName(QStringLiteral("List1"));
    m_list->setUniformItemSizes(true);
    m_list->setToolTip(tr("Double-click an entry to read all of it"));
    connect(m_list, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem *item) { m_ctx.prompter.message(item->text()); });

    // The list takes every change of size; labels, switches and buttons keep their places.
    auto *top = new QGridLayout;
    top->addWidget(title, 0, 0);
    top->addWidget(order, 1, 0);
    top->addWidget(enable, 0, 1);
    top->addWidget(toFile, 1, 1);
    top->addWidget(clear, 0, 2);
    top->addWidget(close, 1, 2);
    top->setColumnStretch(0, 1);
    top->setHorizontalSpacing(12);
    auto *column = new QVBoxLayout(this);
    column->addLayout(top);
    column->addWidget(m_list, 1);

    connect(&ctx.log, &OperationsLog::entriesChanged, this, &LogWindow::reloadEntries);
    reloadEntries();
    resize(560, 360);
}

void LogWindow::bindSwitch(QCheckBox *box, CheckKey key)
{
    box->setChecked(m_ctx.settings.checked(key));
    connect(box, &QCheckBox::toggled, this, [this, key](bool on) { m_ctx.settings.setChecked(key, on); });
    connect(&m_ctx.settings, &SettingsStore::changed, box, [this, box, key](const QString &name) {
        if (name != QLatin1String(key.def().name))
            return;
        const QSignalBlocker quiet(box);
        box->setChecked(m_ctx.settings.checked(key));
    });
}

void LogWindow::reloadEntries()
{
    // At most 99 short lines: rebuilding is cheaper than tracking what moved.
    m_list->clear();
    m_list->addItems(m_ctx.log.entries());
    if (m_list->count() > 0)
        m_list->setCurrentRow(0);
}

void LogWindow::closeEvent(QCloseEvent *event)
{
    hide();
    event->ignore();
}

} // namespace kestrel
