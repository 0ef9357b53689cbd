// HF2050 replies: the codec's parsers on the whole input, and the driver's
// receive path on the input in pieces.
#include "driver/models/hf2050/hf2050codec.h"
#include "driver/models/hf2050/hf2050receiver.h"
#include "modelfeed.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace quorvin::hf2050;
    fuzz::Pieces pieces(data, size);
    const std::string_view bytes = pieces.whole();
    isReplyFromUnit(bytes, 15);
    unitOf(bytes);
    recordKind(bytes);
    parseFields(bytes);
    parseLevel(bytes);
    modeFromWord(bytes, -800, 0);
    agcFromWord(bytes, 0);
    fuzz::feedReceiver<quorvin::Hf2050Receiver>(data, size);
    return 0;
}
