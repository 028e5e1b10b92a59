#pragma once

#include <QDialog>

namespace kestrel {

class Context;

// The about box (frmAbout2): the program's version. Showing it plays "hi.wav".
class AboutBox : public QDialog {
    Q_OBJECT
public:
    explicit AboutBox(Context &ctx, QWidget *parent = nullptr);

    // "v" + major.minor.revision.
    static QString versionText();

protected:
    void showEvent(QShowEvent *event) override;

private:
    Context &m_ctx;
};

} // namespace kestrel
