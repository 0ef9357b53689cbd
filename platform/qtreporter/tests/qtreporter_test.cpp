// The Qt reporter on the offscreen platform: boxes with the given title,
// text and icon, yes/no questions, beeps as a log line, and the log instead
// of a box off the application's thread.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/qtreporter/qtreporter.h"

namespace {

std::vector<std::string> g_log;

void recordLog(QtMsgType, const QMessageLogContext& context, const QString& text)
{
    g_log.push_back(std::string(context.category ? context.category : "") + ": " + text.toStdString());
}

bool logHas(const std::string& part)
{
    for (const std::string& line : g_log) {
        if (line.find(part) != std::string::npos) {
            return true;
        }
    }
    return false;
}

// Runs `act` on the first message box that shows up (within a generous
// bound) and reports what the box said.
struct SeenBox {
    bool seen = false;
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

void onNextBox(SeenBox& seen, std::function<void(QMessageBox&)> act)
{
    auto* poll = new QTimer(qApp);
    auto started = std::make_shared<int>(0);
    QObject::connect(poll, &QTimer::timeout, [poll, &seen, act, started] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(w);
            if (box != nullptr && box->isVisible()) {
                seen.seen = true;
                seen.title = box->windowTitle();
                seen.text = box->text();
                seen.icon = box->icon();
                poll->stop();
                poll->deleteLater();
                act(*box);
                return;
            }
        }
        if (++*started > 3000) {  // 30 s: give up, the test then fails
            poll->stop();
            poll->deleteLater();
        }
    });
    poll->start(10);
}

class QtReporterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_log.clear();
        m_oldHandler = qInstallMessageHandler(recordLog);
    }
    void TearDown() override { qInstallMessageHandler(m_oldHandler); }

    platform::QtReporter reporter;

private:
    QtMessageHandler m_oldHandler = nullptr;
};

TEST_F(QtReporterTest, AMessageIsABoxWithItsTitleTextAndIcon)
{
    SeenBox seen;
    onNextBox(seen, [](QMessageBox& box) { box.accept(); });
    reporter.message("Database Error", "ERROR: 80004005 (The file is missing.)", platform::MessageIcon::Critical);
    ASSERT_TRUE(seen.seen);
    EXPECT_EQ(seen.title, QStringLiteral("Database Error"));
    EXPECT_EQ(seen.text, QStringLiteral("ERROR: 80004005 (The file is missing.)"));
    EXPECT_EQ(seen.icon, QMessageBox::Critical);
}

TEST_F(QtReporterTest, AQuestionAnswersWhatTheOperatorChose)
{
    SeenBox seen;
    onNextBox(seen, [](QMessageBox& box) { box.button(QMessageBox::Yes)->click(); });
    EXPECT_TRUE(reporter.confirm("Settings", "Save the changes?", false));
    ASSERT_TRUE(seen.seen);
    EXPECT_EQ(seen.title, QStringLiteral("Settings"));
    EXPECT_EQ(seen.icon, QMessageBox::Question);

    onNextBox(seen, [](QMessageBox& box) { box.button(QMessageBox::No)->click(); });
    EXPECT_FALSE(reporter.confirm("Settings", "Save the changes?", true));
    // Closing the box (Escape, the window's close button) is "no".
    onNextBox(seen, [](QMessageBox& box) { box.reject(); });
    EXPECT_FALSE(reporter.confirm("Settings", "Save the changes?", true));
}

TEST_F(QtReporterTest, ABeepIsLoggedWithItsPitchAndLength)
{
    reporter.beep(440, 100);
    EXPECT_TRUE(logHas("korvane.report: beep 440 Hz, 100 ms"));
}

TEST_F(QtReporterTest, OffTheApplicationsThreadEverythingGoesToTheLog)
{
    bool answer = false;
    std::thread worker([&] {
        EXPECT_FALSE(platform::QtReporter::canShowWindows());
        reporter.message("Format Error", "CSV File \"x.csv\":\n\tEmpty file\n", platform::MessageIcon::Critical);
        answer = reporter.confirm("Question", "Go on?", true);
    });
    worker.join();
    EXPECT_TRUE(answer);
    EXPECT_TRUE(logHas("korvane.report: Format Error (error): CSV File"));
    EXPECT_TRUE(logHas("Question (question): Go on? (answered yes)"));
}

TEST_F(QtReporterTest, InstalledItIsTheDefaultAndAnInstalledReporterStillWins)
{
    platform::installQtReporter();
    EXPECT_NE(dynamic_cast<platform::QtReporter*>(&platform::reporter()), nullptr);

    struct Quiet : platform::Reporter {
        int messages = 0;
        void message(const std::string&, const std::string&, platform::MessageIcon) override { ++messages; }
        bool confirm(const std::string&, const std::string&, bool fallback) override { return fallback; }
        void beep(int, int) override {}
    } quiet;
    platform::Reporter* old = platform::setReporter(&quiet);
    platform::reporter().message("T", "x", platform::MessageIcon::Information);
    EXPECT_EQ(quiet.messages, 1);
    platform::setReporter(old);
    EXPECT_NE(dynamic_cast<platform::QtReporter*>(&platform::reporter()), nullptr);
    platform::setDefaultReporter(nullptr);
    EXPECT_EQ(&platform::reporter(), &platform::logReporter());
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
