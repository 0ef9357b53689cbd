// tessaly [NAME] [-clean] | -? | --help | --version: the receiver control
// application.
// A hidden option, --screenshot FILE, saves a picture of the main window
// once every receiver is connected (or after fifteen seconds) and ends;
// with --window NAME ("main", "channel", "log" or "options") the picture is
// of that window, opened from the main window as an operator opens it.
#include <QApplication>
#include <QElapsedTimer>
#include <QIcon>
#include <QPixmap>
#include <QTimer>

#include <cstdio>
#include <cstring>

#include "controller/app/channelwindow.h"
#include "controller/app/config.h"
#include "controller/app/logwindow.h"
#include "controller/app/mainwindow.h"
#include "controller/app/messages.h"
#include "controller/core/commandline.h"
#include "tessalyversion.h"

namespace {

// Printed by --help; the manual page is made from it.
constexpr const char* kHelpText = "Usage: tessaly [NAME] [-clean]\n"
                                  "       tessaly -?\n"
                                  "       tessaly --help | --version\n"
                                  "\n"
                                  "Tunes, watches and logs up to eight HF communications receivers at once,\n"
                                  "each reached over a serial line or TCP and each speaking its own command\n"
                                  "protocol; one tab per receiver.\n"
                                  "\n"
                                  "  NAME        the instance: the driver configuration of that name, the\n"
                                  "              frequency database's storage key and the application's own\n"
                                  "              settings key (window positions, options); \"Tessaly\" when\n"
                                  "              none is given. Several instances can run side by side.\n"
                                  "  -clean      delete the settings key of the instance and end\n"
                                  "  -?          show the usage message and end\n"
                                  "  --help      this text\n"
                                  "  --version   the version of the suite\n"
                                  "\n"
                                  "A configuration without receivers opens the driver selection dialog;\n"
                                  "receivers can also be configured with korvanectl (see korvanectl --help).\n"
                                  "Press F1 in the main window for the keys.\n"
                                  "\n"
                                  "Environment:\n"
                                  "  KORVANE_SETTINGS   the settings file; otherwise\n"
                                  "                     $XDG_CONFIG_HOME/korvane/settings.db (usually\n"
                                  "                     ~/.config/korvane/settings.db)\n"
                                  "  KORVANE_LIB_PATH   folders (separated by \":\") searched first for the\n"
                                  "                     component libraries libquorvin.so and liblumaret.so;\n"
                                  "                     then the program's folder, ../lib and ../lib/korvane\n"
                                  "  KORVANE_TRACE_DIR  where receiver trace files go; otherwise\n"
                                  "                     $XDG_STATE_HOME/korvane (~/.local/state/korvane)\n"
                                  "\n"
                                  "Serial ports: the user needs read and write access to the device, usually\n"
                                  "by membership of its group (dialout on Debian).\n";

}  // namespace

int main(int argc, char** argv)
{
    // Answered before any window system is needed, so they work anywhere.
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::fputs(kHelpText, stdout);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("tessaly %d.%d.%d\n", TESSALY_VERSION_MAJOR, TESSALY_VERSION_MINOR, TESSALY_VERSION_REVISION);
        return 0;
    }
    // The application object exists before the libraries are loaded, so
    // their own boxes and dialogs can show.
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tessaly"));
    // Ties the windows to the installed desktop entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.korvane.Tessaly"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("org.korvane.Tessaly")));

    QStringList words;
    QString screenshot;
    QString shown = QStringLiteral("main");
    const QStringList args = QCoreApplication::arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args.at(i) == QLatin1String("--screenshot") && i + 1 < args.size()) {
            screenshot = args.at(++i);
        } else if (args.at(i) == QLatin1String("--window") && i + 1 < args.size()) {
            shown = args.at(++i);
            if (shown != QLatin1String("main") && shown != QLatin1String("channel") && shown != QLatin1String("log") &&
                shown != QLatin1String("options")) {
                std::fprintf(stderr, "tessaly: --window takes main, channel, log or options, not %s\n",
                             qPrintable(shown));
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
                if (shown == QLatin1String("channel")) {
                    // Read as the S key reads them, shown without holding the loop.
                    window.channelWindow()->load(0);
                    target = window.channelWindow();
                } else if (shown == QLatin1String("log")) {
                    window.logWindow()->open(0, false);
                    target = window.logWindow();
                } else if (shown == QLatin1String("options")) {
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
