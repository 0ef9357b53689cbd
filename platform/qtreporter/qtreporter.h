// The reporter of a component library in a windowed program: message boxes,
// yes/no questions and beeps shown with Qt Widgets when the process has a
// QApplication (and the call comes on its thread); otherwise everything goes
// to the log, as without it. Each library's factory makes it the default of
// its own reporting seam, so an application needs nothing but to create its
// QApplication before it creates the libraries' objects.
#pragma once

#include "platform/reporter.h"

namespace platform {

class QtReporter : public Reporter {
public:
    void message(const std::string& title, const std::string& text, MessageIcon icon) override;
    bool confirm(const std::string& title, const std::string& text, bool fallback) override;
    void beep(int frequencyHz, int durationMs) override;

    // True when a box can be shown now: a QApplication exists, is not
    // closing down, and this is its thread.
    static bool canShowWindows();
};

// Makes the Qt reporter the default of this copy of the reporting seam (a
// reporter installed with setReporter still wins). Idempotent.
void installQtReporter();

}  // namespace platform
