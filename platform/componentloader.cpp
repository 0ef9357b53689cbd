// Component loading with dlopen: search the library, find the factory,
// create the object by class identifier.
#include "componentloader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <vector>

#include "interfaces/component.h"

namespace platform {

namespace {

std::vector<std::filesystem::path> searchDirectories()
{
    std::vector<std::filesystem::path> dirs;
    if (const char* env = std::getenv("KORVANE_LIB_PATH"); env != nullptr) {
        std::string list(env);
        std::size_t start = 0;
        while (start <= list.size()) {
            std::size_t end = list.find(':', start);
            if (end == std::string::npos) {
                end = list.size();
            }
            if (end > start) {
                dirs.emplace_back(list.substr(start, end - start));
            }
            start = end + 1;
        }
    }
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        // The build tree keeps bin/ and lib/; an installation keeps the
        // libraries private in lib/korvane/ beside bin/.
        dirs.push_back(exe.parent_path());
        dirs.push_back(exe.parent_path().parent_path() / "lib");
        dirs.push_back(exe.parent_path().parent_path() / "lib" / "korvane");
    }
    return dirs;
}

std::map<std::string, ComponentFactoryFn>& linkedComponents()
{
    static std::map<std::string, ComponentFactoryFn> factories;
    return factories;
}

// Creates the object with `factory`; fills `error` when it refuses.
bool create(ComponentFactoryFn factory, const std::string& libraryFile, const std::string& classId,
            LoadedComponent& out)
{
    void* object = nullptr;
    const HRESULT hr = factory(classId.c_str(), &object);
    if (hr != S_OK || object == nullptr) {
        out.error = libraryFile + " does not provide class " + classId;
        return false;
    }
    out.object = object;
    return true;
}

}  // namespace

void registerLinkedComponent(const std::string& libraryFile, ComponentFactoryFn factory)
{
    if (factory != nullptr) {
        linkedComponents()[libraryFile] = factory;
    } else {
        linkedComponents().erase(libraryFile);
    }
}

LoadedComponent loadComponent(const std::string& libraryFile, const std::string& classId)
{
    LoadedComponent out;
    const std::string fileName = std::filesystem::path(libraryFile).filename().string();
    if (const auto linked = linkedComponents().find(fileName); linked != linkedComponents().end()) {
        create(linked->second, libraryFile, classId, out);
        return out;
    }
    void* handle = nullptr;
    std::string lastError;
    if (libraryFile.find('/') != std::string::npos) {
        handle = dlopen(libraryFile.c_str(), RTLD_NOW | RTLD_LOCAL);
    } else {
        std::error_code ec;
        for (const auto& dir : searchDirectories()) {
            const auto candidate = dir / libraryFile;
            if (std::filesystem::exists(candidate, ec)) {
                handle = dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
                if (handle != nullptr) {
                    break;
                }
                if (const char* e = dlerror()) {
                    lastError = e;
                }
            }
        }
        if (handle == nullptr) {
            handle = dlopen(libraryFile.c_str(), RTLD_NOW | RTLD_LOCAL);
        }
    }
    if (handle == nullptr) {
        const char* e = dlerror();
        out.error = "cannot load " + libraryFile + ": " + (lastError.empty() ? (e ? e : "not found") : lastError);
        return out;
    }
    auto factory = reinterpret_cast<ComponentFactoryFn>(dlsym(handle, kComponentFactorySymbol));
    if (factory == nullptr) {
        out.error = libraryFile + " has no component factory";
        dlclose(handle);
        return out;
    }
    if (!create(factory, libraryFile, classId, out)) {
        dlclose(handle);
        return out;
    }
    out.library = handle;
    return out;
}

}  // namespace platform
