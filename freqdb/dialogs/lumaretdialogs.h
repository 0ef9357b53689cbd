// Installs the frequency database's dialogs as its dialog host. The library
// calls this once from its factory; in a program without a QApplication
// the dialogs show nothing.
#pragma once

namespace lumaret {

void installLumaretDialogs();

}  // namespace lumaret
