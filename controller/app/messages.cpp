// Message boxes and beeps of the application.
#include "messages.h"

#include <QApplication>
#include <QMessageBox>

namespace tessaly {

void BoxMessages::message(const QString& title, const QString& text, Icon icon)
{
    QMessageBox box(icon == Icon::Critical  ? QMessageBox::Critical
                    : icon == Icon::Warning ? QMessageBox::Warning
                                            : QMessageBox::Information,
                    title, text, QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}

bool Messages::question(const QString&, const QString&)
{
    return true;
}

bool BoxMessages::question(const QString& title, const QString& text)
{
    return QMessageBox::question(QApplication::activeWindow(), title, text, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

void BoxMessages::beep()
{
    QApplication::beep();
}

}  // namespace tessaly
