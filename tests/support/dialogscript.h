// Drives modal dialogs from a test: each step waits until the active modal
// window carries its title and then acts on it (clicks, typing). Steps run
// in order; responders answer dialogs that may come up any number of times
// (a nested dialog the test does not care about). A step may open another
// modal dialog: polling goes on from a fresh timer, so the nested dialog is
// served while the step's own click has not returned yet.
//
// With KORVANE_DIALOG_PNG_DIR set, every dialog is grabbed to a PNG there
// (named by its title) before the script acts on it, so its look can be
// checked on the offscreen platform.
#pragma once

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QPixmap>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <deque>
#include <functional>
#include <map>

namespace korvane::test {

class DialogScript : public QObject {
public:
    using Action = std::function<void(QWidget& dialog)>;

    // A script still waiting after `limitMs` closes every open dialog, so
    // the test ends and reports it instead of hanging.
    explicit DialogScript(int limitMs = 120000) : m_limitMs(limitMs)
    {
        m_clock.start();
        arm();
    }
    ~DialogScript() override { m_stopped = true; }

    // The next step: waits for a modal window titled `title`.
    DialogScript& then(const QString& title, Action action)
    {
        m_steps.push_back({title, std::move(action)});
        return *this;
    }
    // Answers every modal window titled `title` that no step is waiting for.
    DialogScript& whenever(const QString& title, Action action)
    {
        m_responders[title] = std::move(action);
        return *this;
    }
    bool done() const { return m_steps.empty() && !m_timedOut; }
    std::size_t stepsLeft() const { return m_steps.size(); }
    // Titles of the modal windows the script acted on, in order.
    const QStringList& seen() const { return m_seen; }

private:
    struct Step {
        QString title;
        Action action;
    };

    void arm()
    {
        if (!m_stopped) {
            QTimer::singleShot(10, this, [this] { poll(); });
        }
    }

    void poll()
    {
        arm();
        if (!m_steps.empty() && m_clock.elapsed() > m_limitMs) {
            m_timedOut = true;
            closeAll();
            return;
        }
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || !modal->isVisible() || modal == m_acting) {
            return;
        }
        const QString title = modal->windowTitle();
        Action action;
        if (!m_steps.empty() && m_steps.front().title == title) {
            action = std::move(m_steps.front().action);
            m_steps.pop_front();
        } else if (auto it = m_responders.find(title); it != m_responders.end()) {
            action = it->second;
        } else {
            return;
        }
        m_seen.push_back(title);
        grab(*modal);
        QWidget* previous = m_acting;
        m_acting = modal;
        action(*modal);
        m_acting = previous;
        if (QTest::currentTestFailed()) {
            // A check failed inside the action: close what is open so the
            // test returns and reports it instead of waiting for ever.
            closeAll();
        }
    }

    void closeAll()
    {
        m_steps.clear();
        m_responders.clear();
        while (auto* open = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            open->reject();
            QApplication::processEvents();
        }
    }

    static void grab(QWidget& dialog)
    {
        const QString dir = qEnvironmentVariable("KORVANE_DIALOG_PNG_DIR");
        if (!dir.isEmpty()) {
            QString name = dialog.windowTitle();
            name.replace(QLatin1Char('/'), QLatin1Char('_'));
            dialog.grab().save(QDir(dir).filePath(name + QStringLiteral(".png")));
        }
    }

    std::deque<Step> m_steps;
    std::map<QString, Action> m_responders;
    QStringList m_seen;
    QWidget* m_acting = nullptr;
    bool m_stopped = false;
    bool m_timedOut = false;
    int m_limitMs;
    QElapsedTimer m_clock;
};

}  // namespace korvane::test
