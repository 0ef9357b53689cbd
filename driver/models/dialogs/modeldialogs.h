// Installs the models' settings dialog behind the core's seam, for every
// model of the table: RxConfigure then shows it. The driver library calls
// this once from its factory; in a program without a QApplication nothing
// is shown and RxConfigure answers 0.
#pragma once

namespace quorvin {

void installModelDialogs();

}  // namespace quorvin
