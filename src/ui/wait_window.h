#pragma once

#include <QWidget>

class QLabel;
class QProgressBar;

namespace kestrel {

// The window shown while start-up loads the settings, lists and CSV files (frmWait).
// Esc asks the CSV load to stop early.
class WaitWindow : public QWidget {
    Q_OBJECT
public:
    explicit WaitWindow(QWidget *parent = nullptr);

    void setMaximum(int maximum);
    void setProgress(int value);
    int progress() const;
    int maximum() const;
    // lblNFO, the line the CSV load writes into.
    void setMessage(const QString &text);
    QString message() const;

    bool abortRequested() const { return m_abort; }

Q_SIGNALS:
    // Esc was pressed; abortRequested() is true from now on.
    void userAborted();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    QProgressBar *m_bar = nullptr;
    QLabel *m_info = nullptr;
    bool m_abort = false;
};

} // namespace kestrel
