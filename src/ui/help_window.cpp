#include "ui/help_window.h"

#include "ui/ui_resources.h"

namespace kestrel {

const QUrl &HelpWindow::pageUrl()
{
    static const QUrl url(QStringLiteral("qrc:/kestrel/help/kestrel-help.html"));
    return url;
}

HelpWindow::HelpWindow(QWidget *parent) : QTextBrowser(parent)
{
    initUiResources();
    setWindowFlag(Qt::Window);
    setObjectName(QStringLiteral("frmHelp"));
    setWindowTitle(tr("Kestrel Help"));
    setWindowIcon(applicationIcon());
    setOpenExternalLinks(true);
    setSource(pageUrl());
    resize(640, 560);
}

} // namespace kestrel
