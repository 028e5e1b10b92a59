#include "ui/about_box.h"

#include "ui/ui_resources.h"

#include "base/context.h"
#include "kestrel_version.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

namespace kestrel {

AboutBox::AboutBox(Context &ctx, QWidget *parent) : QDialog(parent), m_ctx(ctx)
{
    initUiResources();
    setObjectName(QStringLiteral("frmAbout2"));
    setWindowTitle(QStringLiteral("Kestrel"));
    setModal(false);

    auto *image = new QLabel;
    image->setObjectName(QStringLiteral("imgLogo"));
    image->setPixmap(applicationIcon().pixmap(64, 64));

    auto *name = new QLabel(QStringLiteral("Kestrel"));
    name->setObjectName(QStringLiteral("lblName"));
    QFont big = name->font();
    big.setPointSizeF(big.pointSizeF() * 1.8);
    big.setBold(true);
    name->setFont(big);

    auto *version = new QLabel(versionText());
    version->setObjectName(QStringLiteral("lblVersion"));

    auto *about = new QLabel(tr("An unattended picture downloader for Usenet.\n"
                                "It scans your favourite newsgroups, filters the new articles,\n"
                                "downloads and decodes the pictures, files them away\n"
                                "and then waits to scan again."));
    about->setObjectName(QStringLiteral("lblAbout"));

    auto *close = new QPushButton(tr("&Close"));
    close->setObjectName(QStringLiteral("cmdClose"));
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, &QDialog::close);

    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(18, 18, 18, 12);
    grid->setHorizontalSpacing(16);
    grid->addWidget(image, 0, 0, 3, 1, Qt::AlignTop);
    grid->addWidget(name, 0, 1);
    grid->addWidget(version, 1, 1);
    grid->addWidget(about, 2, 1);
    grid->addWidget(close, 3, 1, Qt::AlignRight);
    setFixedSize(sizeHint());
}

QString AboutBox::versionText()
{
    return QLatin1Char('v') + QString::number(KESTREL_VERSION_MAJOR) + QLatin1Char('.') +
           QString::number(KESTREL_VERSION_MINOR) + QLatin1Char('.') + QString::number(KESTREL_VERSION_PATCH);
}

void AboutBox::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    m_ctx.playSfx(QStringLiteral("hi.wav"));
}

} // namespace kestrel
