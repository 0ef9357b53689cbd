// The reporting seam: message boxes, yes/no questions and beeps from library
// code go through here. Each component library carries its own copy of this
// seam. Its factory installs the Qt reporter (platform/qtreporter) as the
// default, which shows boxes when the process has a QApplication and logs
// otherwise; without it (command-line tools, logic tests) messages, questions
// and beeps go to the log (category "korvane.report"). Tests install a
// recording reporter with setReporter.
#pragma once

#include <string>

namespace platform {

enum class MessageIcon { Information, Warning, Critical, Question };

class Reporter {
public:
    virtual ~Reporter() = default;
    virtual void message(const std::string& title, const std::string& text, MessageIcon icon) = 0;
    // Asks a yes/no question; a reporter without a window answers `fallback`.
    virtual bool confirm(const std::string& title, const std::string& text, bool fallback) = 0;
    virtual void beep(int frequencyHz, int durationMs) = 0;
};

// The reporter in use: the one installed with setReporter, else the default.
Reporter& reporter();
// Installs a replacement (nullptr restores the default); returns the one that
// was in use.
Reporter* setReporter(Reporter* replacement);

// The default, used while no reporter is installed: the logging reporter
// unless a window reporter was made the default (nullptr restores logging).
void setDefaultReporter(Reporter* fallback);
// The reporter that writes everything to the log; never blocks.
Reporter& logReporter();

}  // namespace platform
