// Trace directory and appending writes.
#include "tracelog.h"

#include <cstdio>
#include <cstdlib>
#include <system_error>

#include "platform/numbers.h"

namespace quorvin {

namespace {

std::filesystem::path fromEnv(const char* name)
{
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') {
        return {};
    }
    return std::filesystem::path(value);
}

bool usable(const std::filesystem::path& dir)
{
    // A relative or root directory would scatter trace files where the
    // operator never looks (or where nobody may write).
    return !dir.empty() && dir.is_absolute() && dir != dir.root_path();
}

}  // namespace

std::filesystem::path traceDirectory()
{
    if (auto dir = fromEnv(kTraceDirEnvVar); usable(dir)) {
        return dir;
    }
    if (auto state = fromEnv("XDG_STATE_HOME"); usable(state)) {
        return state / "korvane";
    }
    if (auto home = fromEnv("HOME"); usable(home)) {
        return home / ".local" / "state" / "korvane";
    }
    std::error_code ec;
    auto temp = std::filesystem::temp_directory_path(ec);
    if (!ec && usable(temp)) {
        return temp / "korvane";
    }
    return {};
}

bool appendTrace(std::string_view fileName, std::string_view bytes)
{
    if (fileName.empty() || fileName.find('/') != std::string_view::npos) {
        return false;
    }
    const auto dir = traceDirectory();
    if (dir.empty()) {
        return false;
    }
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    const auto path = dir / std::filesystem::path(std::string(fileName));
    std::FILE* file = std::fopen(path.c_str(), "ab");
    if (file == nullptr) {
        return false;
    }
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}

std::string traceStamp(std::uint32_t elapsedMs)
{
    return platform::formatInt(static_cast<std::int64_t>(elapsedMs), 7, true);
}

}  // namespace quorvin
