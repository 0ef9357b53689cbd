// Installs the driver's own Qt Widgets dialogs behind the core's seams: the
// selection dialog run by DrvConfigure. The driver library calls this once
// from its factory; in a program without a QApplication nothing is shown.
#pragma once

namespace quorvin {

void installDriverDialogs();

}  // namespace quorvin
