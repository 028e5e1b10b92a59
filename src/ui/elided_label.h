#pragma once

#include <QLabel>

namespace kestrel {

// A one-line label that gives up its room before its neighbours do: short of space it
// shows the start of its text and an ellipsis, and the whole text as its tool tip.
class ElidedLabel : public QLabel {
    Q_OBJECT
public:
    explicit ElidedLabel(const QString &text, QWidget *parent = nullptr);

    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void updateToolTip();
};

} // namespace kestrel
