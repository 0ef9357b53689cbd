// Programs linked with the driver's code itself (tests of its internals):
// loadComponent("libquorvin.so", ...) creates the driver from this copy,
// the one the program's own calls reach, instead of loading the library.
#include "driver/quorvin_library.h"
#include "interfaces/component.h"
#include "platform/componentloader.h"

namespace {

[[maybe_unused]] const bool g_registered = [] {
    platform::registerLinkedComponent(kQuorvinLibraryFile, &quorvin::createComponent);
    return true;
}();

}  // namespace
