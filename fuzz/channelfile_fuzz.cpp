// The memory-channel file reader: the input is the file's text. What it
// reads is written again and must read back the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "formats/channelfile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto parsed = channelfile::parse(std::string_view(reinterpret_cast<const char*>(data), size));
    const auto again = channelfile::parse(channelfile::format(parsed.lines));
    if (again.error || again.lines.size() != parsed.lines.size()) {
        std::abort();  // a channel read from a file does not survive being written
    }
    for (std::size_t i = 0; i < again.lines.size(); ++i) {
        const auto& a = parsed.lines[i];
        const auto& b = again.lines[i];
        if (a.channel != b.channel || a.frequency != b.frequency || a.bfo != b.bfo || a.mode != b.mode ||
            a.filter != b.filter || a.agc != b.agc || a.mask != b.mask) {
            std::abort();
        }
    }
    return 0;
}
