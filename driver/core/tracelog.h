// Trace files of the model drivers: where they live and how a line is
// appended. Each write opens the file for appending, writes and closes it;
// a file that cannot be written is skipped and never disturbs the exchange.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace quorvin {

// Environment variable naming the trace directory.
inline constexpr const char* kTraceDirEnvVar = "KORVANE_TRACE_DIR";

// $KORVANE_TRACE_DIR when set, else $XDG_STATE_HOME/korvane, else
// ~/.local/state/korvane, else the temporary directory's korvane folder.
// Never the file system root. Empty when no directory can be named.
std::filesystem::path traceDirectory();

// Appends bytes to the named file in the trace directory, creating the
// directory and the file when missing. Returns false when nothing was written.
bool appendTrace(std::string_view fileName, std::string_view bytes);

// "%07u" of a millisecond count.
std::string traceStamp(std::uint32_t elapsedMs);

}  // namespace quorvin
