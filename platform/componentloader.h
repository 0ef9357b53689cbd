// Opens a component library by file name and asks its exported factory for
// an object by class identifier. A missing library, a missing factory or an
// unknown class identifier are reported through `error`, never thrown.
#pragma once

#include <string>

namespace platform {

struct LoadedComponent {
    void* object = nullptr;  // the created object, owned by the caller
    void* library = nullptr; // the library handle; stays open for the process
    std::string error;       // empty on success
};

// Looks for the library in $KORVANE_LIB_PATH (colon-separated), the
// executable's directory, its ../lib, then the system's search path.
LoadedComponent loadComponent(const std::string& libraryFile, const std::string& classId);

}  // namespace platform
