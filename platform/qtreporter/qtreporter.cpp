// Message boxes, questions and beeps with Qt Widgets.
#include "qtreporter.h"

#include <QApplication>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QThread>

namespace platform {

Q_LOGGING_CATEGORY(lcQtReport, "korvane.report")

namespace {

QMessageBox::Icon boxIcon(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Information: return QMessageBox::Information;
    case MessageIcon::Warning: return QMessageBox::Warning;
    case MessageIcon::Critical: return QMessageBox::Critical;
    case MessageIcon::Question: return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

bool QtReporter::canShowWindows()
{
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    return app != nullptr && !QCoreApplication::closingDown() && QThread::currentThread() == app->thread();
}

void QtReporter::message(const std::string& title, const std::string& text, MessageIcon icon)
{
    if (!canShowWindows()) {
        logReporter().message(title, text, icon);
        return;
    }
    QMessageBox box(boxIcon(icon), QString::fromStdString(title), QString::fromStdString(text), QMessageBox::Ok,
                    QApplication::activeWindow());
    box.exec();
}

bool QtReporter::confirm(const std::string& title, const std::string& text, bool fallback)
{
    if (!canShowWindows()) {
        return logReporter().confirm(title, text, fallback);
    }
    QMessageBox box(QMessageBox::Question, QString::fromStdString(title), QString::fromStdString(text),
                    QMessageBox::Yes | QMessageBox::No, QApplication::activeWindow());
    box.setDefaultButton(fallback ? QMessageBox::Yes : QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

void QtReporter::beep(int frequencyHz, int durationMs)
{
    // Qt plays the system's bell; pitch and length are the caller's wish
    // and go to the log.
    if (canShowWindows()) {
        QApplication::beep();
    }
    qCInfo(lcQtReport, "beep %d Hz, %d ms", frequencyHz, durationMs);
}

void installQtReporter()
{
    static QtReporter instance;
    setDefaultReporter(&instance);
}

}  // namespace platform
