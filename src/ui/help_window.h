#pragma once

#include <QTextBrowser>

namespace kestrel {

// The help page, shipped inside the program. Links to other sites open in the browser.
class HelpWindow : public QTextBrowser {
    Q_OBJECT
public:
    static const QUrl &pageUrl();

    explicit HelpWindow(QWidget *parent = nullptr);
};

} // namespace kestrel
