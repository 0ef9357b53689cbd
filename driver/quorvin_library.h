// The factory behind libquorvin.so's exported KorvaneCreateComponent, for
// the library and for programs linked with the driver's code itself.
#pragma once

#include "interfaces/status.h"

namespace quorvin {

// Creates ReceiverDriver for its class identifier (compared without regard
// to case). The first call registers the built-in model drivers and installs
// the link dialogs and the Qt reporter, which show windows only in a process
// with a QApplication and otherwise stay quiet or log.
HRESULT createComponent(const char* classId, void** object);

}  // namespace quorvin
