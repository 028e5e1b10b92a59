#pragma once

#include <QLabel>

namespace kestrel {

// The main window's download light: green while no download runs, red while one does.
// A click asks for a download to start.
class DownloadLight : public QLabel {
    Q_OBJECT
public:
    explicit DownloadLight(QWidget *parent = nullptr);

    void setBusy(bool busy);
    bool isBusy() const { return m_busy; }

    // The light as a round lamp of the given diameter in device-independent pixels.
    static QPixmap lamp(bool busy, int diameter, qreal devicePixelRatio = 1.0);

Q_SIGNALS:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void refresh();

    bool m_busy = false;
};

} // namespace kestrel
