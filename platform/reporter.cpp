// Default reporter: messages go to the log, beeps are dropped.
#include "reporter.h"

#include <QLoggingCategory>

namespace platform {

Q_LOGGING_CATEGORY(lcReport, "korvane.report")

namespace {

class LogReporter : public Reporter {
public:
    void message(const std::string& title, const std::string& text, MessageIcon) override
    {
        qCWarning(lcReport, "%s: %s", title.c_str(), text.c_str());
    }
    bool confirm(const std::string& title, const std::string& text, bool fallback) override
    {
        qCInfo(lcReport, "%s: %s (answered %s)", title.c_str(), text.c_str(), fallback ? "yes" : "no");
        return fallback;
    }
    void beep(int, int) override {}
};

LogReporter& logReporter()
{
    static LogReporter instance;
    return instance;
}

Reporter* g_reporter = nullptr;

}  // namespace

Reporter& reporter()
{
    return g_reporter ? *g_reporter : logReporter();
}

Reporter* setReporter(Reporter* replacement)
{
    Reporter* old = g_reporter ? g_reporter : &logReporter();
    g_reporter = replacement;
    return old;
}

}  // namespace platform
