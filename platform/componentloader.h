// Opens a component library by file name and asks its exported factory for
// an object by class identifier. A missing library, a missing factory or an
// unknown class identifier are reported through `error`, never thrown.
#pragma once

#include <string>

#include "interfaces/component.h"

namespace platform {

struct LoadedComponent {
    void* object = nullptr;  // the created object, owned by the caller
    void* library = nullptr;  // the library handle; stays open for the process
    std::string error;  // empty on success
};

// Looks for the library in $KORVANE_LIB_PATH (colon-separated), the
// executable's directory, its ../lib (the build tree), its ../lib/korvane
// (an installation), then the system's search path.
// A program linked with a library's code itself (a test of its internals)
// has its factory registered here under the library's file name (the
// target quorvin_linked does it for libquorvin.so): loadComponent then
// creates the object from the linked copy and opens no file, since a loaded
// library would be a second, separate copy (its own settings store, timers,
// model table, reporting seam). `library` is then null.
LoadedComponent loadComponent(const std::string& libraryFile, const std::string& classId);
void registerLinkedComponent(const std::string& libraryFile, ComponentFactoryFn factory);

}  // namespace platform
