// REK085 replies: the codec's parsers on the whole input, and the driver's
// receive path on the input in pieces.
#include "driver/models/rek085/rek085codec.h"
#include "driver/models/rek085/rek085receiver.h"
#include "modelfeed.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace quorvin::rek085;
    fuzz::Pieces pieces(data, size);
    const std::string_view bytes = pieces.whole();
    hasFrameHeader(bytes);
    responderAddress(bytes);
    parseStatus(bytes);
    fuzz::feedReceiver<quorvin::Rek085Receiver>(data, size);
    return 0;
}
