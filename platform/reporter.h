// The reporting seam: message boxes and beeps from library code go through
// here. Without a window (tests, command-line tools) messages go to the log
// and beeps are dropped; the application installs a reporter that shows
// boxes. Tests install a recording reporter.
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

Reporter& reporter();
// Installs a replacement (nullptr restores the logging one); returns the old one.
Reporter* setReporter(Reporter* replacement);

}  // namespace platform
