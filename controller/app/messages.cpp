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

void BoxMessages::beep()
{
    QApplication::beep();
}

}  // namespace tessaly
