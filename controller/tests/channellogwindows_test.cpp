// The memory-channel window and the frequency log window on the offscreen
// platform, opened from the main window on a simulated NRD535 served in
// this process over a pty. One start-up serves the cases; the last one
// starts the application again to find the log where it was left.
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <unistd.h>

#include "controller/app/channelwindow.h"
#include "controller/app/filechooser.h"
#include "controller/app/logwindow.h"
#include "controller/app/mainwindow.h"
#include "nrd535sim.h"
#include "windowtestsupport.h"

using namespace tessaly;
using namespace tessaly::test;
using namespace quorvin;

namespace {

constexpr int kSlow = 30000;  // generous: the machine is shared

// Answers the file dialogs with the names a case queues.
class ScriptedFiles : public FileChooser {
public:
    QStringList next;
    QString openFile(QWidget*, const QString& name, const QString& ext) override
    {
        proposed = name + QLatin1Char('.') + ext;
        return next.isEmpty() ? QString() : next.takeFirst();
    }
    QString saveFile(QWidget*, const QString& name, const QString& ext) override
    {
        proposed = name + QLatin1Char('.') + ext;
        return next.isEmpty() ? QString() : next.takeFirst();
    }
    QString proposed;
};

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

void typeText(QWidget& w, const QString& text)
{
    for (QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, static_cast<Qt::Key>(c.toUpper().unicode()), Qt::NoModifier, QString(c));
        QCoreApplication::sendEvent(&w, &press);
    }
}

QPushButton* buttonOf(QWidget* window, const char* name)
{
    return window->findChild<QPushButton*>(QString::fromLatin1(name));
}

}  // namespace

class ChannelLogWindowsTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TestSettings> m_settings;
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_oldCurrent;
    std::string m_config;
    std::vector<SimReceiver> m_rx;
    RecordingMessages m_messages;
    ScriptedFiles m_files;
    std::unique_ptr<MainWindow> m_main;

    sim::Nrd535State simState()
    {
        return m_rx[0].server->withLine([](sim::SimLine& line) { return line.as<sim::Nrd535Sim>()->state(); });
    }

    bool startMain()
    {
        m_main = std::make_unique<MainWindow>(m_messages);
        if (m_main->startUp(QString::fromStdString(m_config)) != MainWindow::StartResult::Running) {
            return false;
        }
        m_main->show();
        m_main->channelWindow()->setFileChooser(m_files);
        return true;
    }

    bool remoteAndConnected()
    {
        std::int32_t connected = 0, remote = 0;
        m_main->driver()->get_RxIsConnected(0, &connected);
        m_main->driver()->get_RxIsRemote(0, &remote);
        return connected != 0 && remote != 0;
    }

    void takeRemote()
    {
        std::int32_t connected = 0;
        QTRY_VERIFY_WITH_TIMEOUT((m_main->driver()->get_RxIsConnected(0, &connected), connected != 0), kSlow);
        typeText(*m_main, QStringLiteral("u"));
        QTRY_VERIFY_WITH_TIMEOUT(remoteAndConnected(), kSlow);
    }

    QString cell(ChannelWindow* w, int channel, int column)
    {
        auto& t = w->table();
        return t.data(t.index(t.rowOfChannel(channel), column)).toString();
    }

private slots:
    void initTestCase()
    {
        m_settings = std::make_unique<TestSettings>();
        // The scratchpad lives in the current directory: one of the test's own.
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_oldCurrent = QDir::currentPath();
        QVERIFY(QDir::setCurrent(m_dir->path()));
        m_config = "ChanLog" + std::to_string(::getpid());
        m_rx.push_back({"NRD535", "NRD535", DrvNRD535, sim::SimServer::Pty, nullptr});
        startAndConfigure(m_config, m_rx);
        // Two channels already stored in the receiver.
        m_rx[0].server->withLine([](sim::SimLine& line) {
            auto& s = line.as<sim::Nrd535Sim>()->state();
            s.channels[5] = sim::Nrd535Channel{0, 1, 3, 7100000, 0};  // LSB, AGC slow
            s.channels[6] = sim::Nrd535Channel{0, 1, 4, 15400000, 1};  // AM, AGC fast
        });
        QVERIFY(startMain());
        takeRemote();
    }

    void cleanupTestCase()
    {
        if (m_main) {
            m_main->close();
            m_main.reset();
        }
        QDir::setCurrent(m_oldCurrent);
        m_dir.reset();
        m_rx.clear();
        m_settings.reset();
    }

    void sKeyReadsAllChannelsAndShowsTheWindow()
    {
        ChannelWindow* w = m_main->channelWindow();
        bool seen = false;
        int rows = 0;
        QString status;
        // The window is modal: look at it, then close it.
        auto* poll = new QTimer(this);
        connect(poll, &QTimer::timeout, this, [&] {
            if (QApplication::activeModalWidget() == w) {
                seen = true;
                rows = w->table().rowCount();
                status = w->statusText();
                poll->stop();
                w->reject();
            }
        });
        poll->start(50);
        typeText(*m_main, QStringLiteral("s"));
        delete poll;
        QVERIFY2(seen, qPrintable(status));
        QCOMPARE(rows, 200);
        QVERIFY2(status.startsWith(QStringLiteral("200 channels read")), qPrintable(status));
        QCOMPARE(cell(w, 5, ColFrequency), QStringLiteral("7100000"));
        QCOMPARE(cell(w, 5, ColMode), QStringLiteral("LSB"));
        QCOMPARE(cell(w, 5, ColAgc), QStringLiteral("Slow"));
        QCOMPARE(cell(w, 6, ColMode), QStringLiteral("AM"));
        QCOMPARE(cell(w, 7, ColFrequency), QString());
        QVERIFY(w->grid()->isColumnHidden(ColMask));  // the NRD535 has no masks
        QVERIFY(!w->isVisible());
        auto* lchn = m_main->findChild<QLabel*>(QStringLiteral("LChn"));
        QTRY_VERIFY_WITH_TIMEOUT(!lchn->isVisible(), kSlow);  // cleared on closing
    }

    void editTwoWriteAndReadBack()
    {
        ChannelWindow* w = m_main->channelWindow();
        QVERIFY(w->load(0));
        w->show();
        auto& t = w->table();
        QVERIFY(t.setData(t.index(t.rowOfChannel(5), ColFrequency), QStringLiteral("7150000")));
        QVERIFY(t.setData(t.index(t.rowOfChannel(5), ColMode), QStringLiteral("USB")));
        QVERIFY(t.setData(t.index(t.rowOfChannel(20), ColFrequency), QStringLiteral("9500000")));
        QVERIFY(t.setData(t.index(t.rowOfChannel(20), ColMode), QStringLiteral("AM")));
        QVERIFY(t.setData(t.index(t.rowOfChannel(20), ColAgc), QStringLiteral("Fast")));
        QVERIFY(!t.setData(t.index(t.rowOfChannel(20), ColFilter), QStringLiteral("wide")));
        QCOMPARE(t.changedChannels(), (std::vector<int>{5, 20}));
        buttonOf(w, "Save")->click();
        QVERIFY2(w->statusText().startsWith(QStringLiteral("2 channel(s) written")), qPrintable(w->statusText()));
        QVERIFY(t.changedChannels().empty());
        QTRY_VERIFY_WITH_TIMEOUT(simState().channels[20].has_value(), kSlow);
        QCOMPARE(simState().channels[20]->frequency, 9500000);
        QCOMPARE(simState().channels[20]->mode, 4);
        QTRY_COMPARE_WITH_TIMEOUT(simState().channels[5]->frequency, 7150000, kSlow);
        QCOMPARE(simState().channels[5]->mode, 2);
        // Read back from the receiver.
        buttonOf(w, "Reload")->click();
        QCOMPARE(cell(w, 5, ColFrequency), QStringLiteral("7150000"));
        QCOMPARE(cell(w, 5, ColMode), QStringLiteral("USB"));
        QCOMPARE(cell(w, 20, ColFrequency), QStringLiteral("9500000"));
        QCOMPARE(cell(w, 20, ColMode), QStringLiteral("AM"));
        QCOMPARE(t.received(20).value(ChannelCells::Frequency), 9500000);
        // Activating a row loads its channel into the receiver.
        w->loadRow(t.rowOfChannel(20));
        QTRY_COMPARE_WITH_TIMEOUT(simState().frequency, 9500000, kSlow);
        QCOMPARE(simState().channel, 20);
        // Get it: the receiver's settings into the selected channel (working copy only).
        std::int32_t f = 0;
        m_main->driver()->get_RxFrq(0, NONE, &f);
        w->grid()->setCurrentIndex(t.index(t.rowOfChannel(40), ColFrequency));
        buttonOf(w, "GetIt")->click();
        QCOMPARE(t.working(40).value(ChannelCells::Frequency), f);
        QCOMPARE(t.changedChannels(), std::vector<int>{40});
        QVERIFY(!simState().channels[40].has_value());
        t.setWorking(40, t.received(40));
        // Statuses of channels the receiver does not have are dropped.
        m_main->eventSink()->RxChnStatus(0, 250, 5000000, 0, ModAM, 6000, AgcFast, 0);
        m_main->eventSink()->RxChnStatus(0, -7, 5000000, 0, ModAM, 6000, AgcFast, 0);
        QCOMPARE(t.rowCount(), 200);
        w->reject();
    }

    void exportAndImportTheChannelFile()
    {
        ChannelWindow* w = m_main->channelWindow();
        QVERIFY(w->load(0));
        w->show();
        auto& t = w->table();
        const QString path = m_dir->filePath(QStringLiteral("NRD535_Mem.txt"));
        writeFile(path, "old contents\r\n");
        m_files.next = {path};
        buttonOf(w, "Export")->click();
        QCOMPARE(m_files.proposed, QStringLiteral("NRD535_Mem.txt"));
        const std::int32_t filter5 = t.working(5).value(ChannelCells::Filter);
        const std::int32_t filter6 = t.working(6).value(ChannelCells::Filter);
        const std::int32_t filter20 = t.working(20).value(ChannelCells::Filter);
        const QByteArray expected = QStringLiteral("005;    7150000;    0;  USB;%1;Slow;0;\r\n"
                                                   "006;   15400000;    0;   AM;%2;Fast;0;\r\n"
                                                   "020;    9500000;    0;   AM;%3;Fast;0;\r\n")
                                        .arg(filter5, 5)
                                        .arg(filter6, 5)
                                        .arg(filter20, 5)
                                        .toLatin1();
        QCOMPARE(readFile(path), expected);

        // Edited here, then imported again: the file's values come back.
        QVERIFY(t.setData(t.index(t.rowOfChannel(6), ColFrequency), QStringLiteral("5000000")));
        m_files.next = {path};
        buttonOf(w, "Import")->click();
        QCOMPARE(t.working(6).value(ChannelCells::Frequency), 15400000);
        QVERIFY(t.changedChannels().empty());
        QVERIFY2(w->statusText().startsWith(QStringLiteral("3 channel(s) imported")), qPrintable(w->statusText()));

        // A malformed file: the lines before the faulty one are taken, the
        // import stops there with its message, nothing goes to the receiver.
        const QString bad = m_dir->filePath(QStringLiteral("bad.txt"));
        writeFile(bad, "030;    6000000;    0;  USB; 2400;Fast;0;\r\n"
                       "199;    6100000;     ;  LSB; 2400;Slow;0;\r\n"
                       "031;6200000;0\r\n"
                       "032;    6300000;    0;  USB; 2400;Fast;0;\r\n");
        const int before = m_messages.texts.size();
        m_files.next = {bad};
        buttonOf(w, "Import")->click();
        QCOMPARE(m_messages.texts.size(), before + 1);
        QCOMPARE(m_messages.texts.last(), QStringLiteral("Line 3 don't contain the required number of fields !"));
        QCOMPARE(t.working(30).value(ChannelCells::Frequency), 6000000);
        QCOMPARE(t.working(199).value(ChannelCells::Bfo), 0);
        QCOMPARE(t.working(199).value(ChannelCells::Mode), ModLSB);
        QVERIFY(!t.working(31).anyKnown() || t.working(31).value(ChannelCells::Frequency) == 0);
        QCOMPARE(t.working(32).value(ChannelCells::Frequency), 0);
        QCOMPARE(t.changedChannels(), (std::vector<int>{30, 199}));
        QVERIFY(!simState().channels[30].has_value());

        // An export that cannot be written says so and leaves the old file.
        m_files.next = {m_dir->filePath(QStringLiteral("missing/NRD535_Mem.txt"))};
        buttonOf(w, "Export")->click();
        QVERIFY2(m_messages.texts.last().startsWith(QStringLiteral("Cannot write")),
                 qPrintable(m_messages.texts.last()));
        QCOMPARE(readFile(path), expected);
        w->reject();
    }

    void logThreeEntriesCopyAndTune()
    {
        LogWindow* log = m_main->logWindow();
        QCOMPARE(log->path(), QDir(m_dir->path()).filePath(QStringLiteral("scratchpad.txt")));
        // Space logs at once and shows the window; G only shows it.
        std::int32_t f = 0;
        m_main->driver()->get_RxFrq(0, NONE, &f);
        QVERIFY(f > 0);
        m_main->activateWindow();
        typeText(*m_main, QStringLiteral(" "));
        QVERIFY(log->isVisible());
        QCOMPARE(log->log().count(), 1);
        QCOMPARE(log->windowTitle(), QStringLiteral("Frequency logs [1 records]"));
        QCOMPARE(log->log().record(0)[LogFrequency], QString::number(f));
        QCOMPARE(log->log().record(0)[LogDescription], QStringLiteral("Unknown"));
        QCOMPARE(log->log().record(0)[LogReceiver], QStringLiteral("NRD535"));
        QVERIFY(!log->log().record(0)[LogDate].isEmpty());
        // The description is open for typing.
        QCOMPARE(log->grid()->currentIndex().column(), int(LogDescription));
        auto* editor = qobject_cast<QLineEdit*>(log->grid()->indexWidget(log->grid()->currentIndex()));
        QVERIFY(editor);
        QCOMPARE(editor->selectedText(), QStringLiteral("Unknown"));
        // Typed, then OK: the description is taken and saved.
        QTest::keyClicks(editor, QStringLiteral("Night|net"));
        QCOMPARE(editor->text(), QStringLiteral("Nightnet"));  // "|" cannot be typed
        editor->setText(QStringLiteral("Night net"));
        buttonOf(log, "OK")->click();
        QVERIFY(!log->isVisible());
        QCOMPARE(log->log().record(0)[LogDescription], QStringLiteral("Night net"));
        QVERIFY(readFile(log->path()).contains("|Night net|"));
        typeText(*m_main, QStringLiteral("g"));
        QVERIFY(log->isVisible());
        QCOMPARE(log->log().count(), 1);
        QVERIFY(log->insert());
        QVERIFY(log->insert());
        QCOMPARE(log->windowTitle(), QStringLiteral("Frequency logs [3 records]"));
        auto& model = log->log();
        QVERIFY(model.setData(model.index(1, LogDescription), QStringLiteral("Beacon")));
        QVERIFY(!model.setData(model.index(1, LogRemarks), QStringLiteral("a|b")));
        QVERIFY(model.setData(model.index(2, LogFrequency), QStringLiteral("7050000")));
        QVERIFY(model.setData(model.index(2, LogMode), QStringLiteral("LSB")));
        QVERIFY(model.setData(model.index(2, LogRemarks), QStringLiteral("weak")));
        // Kept current: the file has all three already.
        const QByteArray file = readFile(log->path());
        QCOMPARE(file.count("\r\n"), 3);
        QVERIFY(file.contains("|Beacon|"));

        log->grid()->setCurrentIndex(model.index(2, 0));
        buttonOf(log, "Copy")->click();
        const QString copied = QGuiApplication::clipboard()->text();
        QCOMPARE(copied.count(QLatin1Char('\t')), 7);
        QVERIFY(copied.startsWith(QStringLiteral("7050000\tLSB\t")));
        QVERIFY(copied.endsWith(QStringLiteral("\tUnknown\tweak")));

        // Tuning a logged entry.
        log->tune(2);
        QTRY_COMPARE_WITH_TIMEOUT(simState().frequency, 7050000, kSlow);
        QTRY_COMPARE_WITH_TIMEOUT(simState().mode, 3, kSlow);

        // Delete, then Cancel: the deletion is kept (every change is saved).
        LogRecord extra = model.record(0);
        model.append(extra);
        QCOMPARE(model.count(), 4);
        log->grid()->setCurrentIndex(model.index(3, 0));
        buttonOf(log, "Delete")->click();
        QCOMPARE(model.count(), 3);
        buttonOf(log, "Cancel")->click();
        QVERIFY(!log->isVisible());
        QCOMPARE(readFile(log->path()).count("\r\n"), 3);
    }

    void theLogIsFoundAgainAfterARestart()
    {
        // A line that is no record survives the saves.
        const QString path = m_main->logWindow()->path();
        QByteArray bytes = readFile(path);
        bytes += "0|garbage line|\r\n";
        writeFile(path, bytes);
        const QList<LogRecord> before(m_main->logWindow()->log().records().begin(),
                                      m_main->logWindow()->log().records().end());
        m_main->close();
        m_main.reset();
        QVERIFY(startMain());
        LogWindow* log = m_main->logWindow();
        QCOMPARE(log->log().count(), 3);
        QCOMPARE(log->windowTitle(), QStringLiteral("Frequency logs [3 records]"));
        QCOMPARE(QList<LogRecord>(log->log().records().begin(), log->log().records().end()), before);
        QVERIFY2(log->statusText().contains(QStringLiteral("kept in the file unchanged")),
                 qPrintable(log->statusText()));
        takeRemote();
        QVERIFY(log->insert());
        const QByteArray saved = readFile(path);
        QCOMPARE(saved.count("\r\n"), 5);
        QVERIFY(saved.endsWith("0|garbage line|\r\n"));
    }
};

QTEST_MAIN(ChannelLogWindowsTest)
#include "channellogwindows_test.moc"
