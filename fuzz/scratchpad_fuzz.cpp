// The scratchpad reader: the input is the file's bytes. What it reads is
// written again and must read back the same, records and kept lines alike,
// so a save never changes or loses what the operator had.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "controller/core/frequencylog.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const tessaly::Scratchpad first = tessaly::parseScratchpad(bytes);
    const tessaly::Scratchpad again =
        tessaly::parseScratchpad(tessaly::formatScratchpad(first.records, first.keptLines));
    if (again.records != first.records || again.keptLines != first.keptLines) {
        std::abort();  // a save would change the log
    }
    return 0;
}
