// Installs the Qt Widgets link dialogs behind the channel's dialog seam.
// The driver library calls this once when it is loaded into a program
// with a window; without it Configure ends as if cancelled.
#pragma once

namespace quorvin {

void installLinkDialogs();

}  // namespace quorvin
