// tessaly [NAME] [-clean] | -?: the receiver control application.
// A hidden option, --screenshot FILE, saves a picture of the main window
// once every receiver is connected (or after fifteen seconds) and ends;
// with --window NAME ("main" or "options") the picture is of that window,
// opened from the main window as an operator opens it.
#include <QApplication>
#include <QElapsedTimer>
#include <QPixmap>
#include <QTimer>

#include <cstdio>

#include "controller/app/config.h"
#include "controller/app/mainwindow.h"
#include "controller/app/messages.h"
#include "controller/core/commandline.h"

int main(int argc, char** argv)
{
    // The application object exists before the libraries are loaded, so
    // their own boxes and dialogs can show.
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tessaly"));

    QStringList words;
    QString screenshot;
    QString shown = QStringLiteral("main");
    const QStringList args = QCoreApplication::arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args.at(i) == QLatin1String("--screenshot") && i + 1 < args.size()) {
            screenshot = args.at(++i);
        } else if (args.at(i) == QLatin1String("--window") && i + 1 < args.size()) {
            shown = args.at(++i);
            if (shown != QLatin1String("main") && shown != QLatin1String("options")) {
                std::fprintf(stderr, "tessaly: --window takes main or options, not %s\n", qPrintable(shown));
                return 2;
            }
        } else {
            words << args.at(i);
        }
    }

    tessaly::BoxMessages messages;
    tessaly::MainWindow window(messages);
    const auto result = window.startUp(tessaly::argumentText(words));
    if (result != tessaly::MainWindow::StartResult::Running) {
        return result == tessaly::MainWindow::StartResult::Error ? 1 : 0;
    }
    window.show();
    if (!screenshot.isEmpty()) {
        auto* timer = new QTimer(&window);
        auto* clock = new QElapsedTimer;
        clock->start();
        QObject::connect(timer, &QTimer::timeout, &window, [&window, timer, clock, screenshot, shown] {
            bool ready = true;
            std::int16_t count = 0;
            window.driver()->get_RxCount(&count);
            for (std::int16_t i = 0; i < count; ++i) {
                std::int32_t connected = 0;
                window.driver()->get_RxIsConnected(i, &connected);
                ready = ready && connected != 0;
            }
            if (!ready && clock->elapsed() < 15000) {
                return;
            }
            timer->stop();
            delete clock;
            // Show the first receiver under remote control, as an operator works it.
            window.selectReceiver(0);
            std::int32_t result = 0;
            window.driver()->RxRemote(0, -1, &result);
            QTimer::singleShot(2500, &window, [&window, screenshot, shown] {
                QWidget* target = &window;
                if (shown == QLatin1String("options")) {
                    // As the "Config." button opens it, shown without holding the loop.
                    window.configDialog()->setReceiver(0);
                    window.configDialog()->prepare();
                    target = window.configDialog();
                }
                target->show();
                QCoreApplication::processEvents();
                const bool saved = target->grab().save(screenshot);
                std::fprintf(saved ? stdout : stderr, "%s %s\n", saved ? "saved" : "cannot save",
                             qPrintable(screenshot));
                window.close();
            });
        });
        timer->start(200);
    }
    return QApplication::exec();
}
