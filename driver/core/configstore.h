// Where the driver keeps its settings: configuration keys below
// "SOFTWARE\Korvane Software", one subkey per receiver instance. All access
// goes through the process-wide settings store.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quorvin {

// Results of store operations that the receivers hand back (registry-style:
// 0 is success).
enum StoreResult : std::int32_t {
    StoreOk = 0,
    StoreNotFound = 2,
    StoreRefused = 87,
};

inline constexpr std::int32_t kDefaultBfo = -800;
inline constexpr std::int32_t kDefaultBfoLimit = 1900;

// "SOFTWARE\Korvane Software\<configuration>".
std::string configurationKey(std::string_view configuration);
// "SOFTWARE\Korvane Software\<configuration>\<instance>".
std::string instanceKey(std::string_view configuration, std::string_view instance);

// A name usable as one key of the path: not empty and without a backslash
// (which would reach another key).
bool isKeyName(std::string_view name);

// DefaultBfo of the configuration: -800 when missing or when its magnitude
// exceeds 1900.
std::int32_t readDefaultBfo(std::string_view configuration);

// Deletes the instance key with everything below it. Refuses an empty
// configuration or instance name (which would delete a whole configuration
// or the whole tree).
std::int32_t deleteInstanceSettings(std::string_view configuration, std::string_view instance);

}  // namespace quorvin
