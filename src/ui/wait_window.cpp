#include "ui/wait_window.h"

#include "ui/ui_resources.h"

#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>

namespace kestrel {

WaitWindow::WaitWindow(QWidget *parent) : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
{
    initUiResources();
    setObjectName(QStringLiteral("frmWait"));
    setWindowIcon(applicationIcon());
    setFocusPolicy(Qt::StrongFocus);
    setAutoFillBackground(true);

    auto *image = new QLabel;
    image->setObjectName(QStringLiteral("Image1"));
    image->setPixmap(applicationIcon().pixmap(64, 64));

    auto *name = new QLabel(QStringLiteral("Kestrel"));
    QFont big = name->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    name->setFont(big);

    m_info = new QLabel(tr("Loading..."));
    m_info->setObjectName(QStringLiteral("lblNFO"));
    m_info->setTextFormat(Qt::PlainText);
    m_info->setMinimumWidth(280);

    m_bar = new QProgressBar;
    m_bar->setObjectName(QStringLiteral("ProgressBar1"));
    m_bar->setRange(0, 10);
    m_bar->setValue(0);
    m_bar->setTextVisible(false);

    auto *hint = new QLabel(tr("Esc skips the rest of the CSV files"));
    QFont small = hint->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    hint->setFont(small);
    hint->setEnabled(false);

    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(16, 16, 16, 12);
    grid->setHorizontalSpacing(14);
    grid->addWidget(image, 0, 0, 3, 1, Qt::AlignTop);
    grid->addWidget(name, 0, 1);
    grid->addWidget(m_info, 1, 1);
    grid->addWidget(m_bar, 2, 1);
    grid->addWidget(hint, 3, 1);
}

void WaitWindow::setMaximum(int maximum)
{
    m_bar->setMaximum(maximum);
}

void WaitWindow::setProgress(int value)
{
    m_bar->setValue(value);
    // Start-up may keep the event loop busy for a while: paint now, not later.
    if (m_bar->isVisible())
        m_bar->repaint();
}

int WaitWindow::progress() const
{
    return m_bar->value();
}

int WaitWindow::maximum() const
{
    return m_bar->maximum();
}

void WaitWindow::setMessage(const QString &text)
{
    m_info->setText(text);
    if (m_info->isVisible())
        m_info->repaint();
}

QString WaitWindow::message() const
{
    return m_info->text();
}

void WaitWindow::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        m_abort = true;
        Q_EMIT userAborted();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace kestrel
