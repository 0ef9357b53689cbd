// Default reporter: messages, questions and beeps go to the log.
#include "reporter.h"

#include <QLoggingCategory>

namespace platform {

Q_LOGGING_CATEGORY(lcReport, "korvane.report")

namespace {

const char* iconName(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Information: return "information";
    case MessageIcon::Warning: return "warning";
    case MessageIcon::Critical: return "error";
    case MessageIcon::Question: return "question";
    }
    return "message";
}

class LogReporter : public Reporter {
public:
    void message(const std::string& title, const std::string& text, MessageIcon icon) override
    {
        qCWarning(lcReport, "%s (%s): %s", title.c_str(), iconName(icon), text.c_str());
    }
    bool confirm(const std::string& title, const std::string& text, bool fallback) override
    {
        qCWarning(lcReport, "%s (question): %s (answered %s)", title.c_str(), text.c_str(), fallback ? "yes" : "no");
        return fallback;
    }
    void beep(int frequencyHz, int durationMs) override
    {
        qCInfo(lcReport, "beep %d Hz, %d ms", frequencyHz, durationMs);
    }
};

Reporter* g_reporter = nullptr;
Reporter* g_default = nullptr;

Reporter& defaultReporter()
{
    return g_default ? *g_default : logReporter();
}

}  // namespace

Reporter& logReporter()
{
    static LogReporter instance;
    return instance;
}

Reporter& reporter()
{
    return g_reporter ? *g_reporter : defaultReporter();
}

Reporter* setReporter(Reporter* replacement)
{
    Reporter* old = &reporter();
    // Putting back the default (as a caller restoring what it was given
    // does) installs nothing, so the default stays in charge.
    g_reporter = replacement == &defaultReporter() ? nullptr : replacement;
    return old;
}

void setDefaultReporter(Reporter* fallback)
{
    g_default = fallback;
}

}  // namespace platform
