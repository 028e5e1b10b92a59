#include "ui/message_box_prompter.h"

#include <QApplication>
#include <QMessageBox>

namespace kestrel {

namespace {
QString titleOr(const QString &title)
{
    return title.isEmpty() ? QStringLiteral("Kestrel") : title;
}
} // namespace

void MessageBoxPrompter::message(const QString &text, const QString &title)
{
    QMessageBox box(QMessageBox::NoIcon, titleOr(title), text, QMessageBox::Ok, QApplication::activeWindow());
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

bool MessageBoxPrompter::question(const QString &text, bool defaultYes, const QString &title)
{
    QMessageBox box(QMessageBox::Question, titleOr(title), text, QMessageBox::Yes | QMessageBox::No,
                    QApplication::activeWindow());
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(defaultYes ? QMessageBox::Yes : QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

} // namespace kestrel
