// NRD535 replies: the codec's parsers on the whole input, and the driver's
// receive path on the input in pieces.
#include "driver/models/nrd535/nrd535codec.h"
#include "driver/models/nrd535/nrd535receiver.h"
#include "modelfeed.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace quorvin::nrd535;
    fuzz::Pieces pieces(data, size);
    const std::string_view bytes = pieces.whole();
    parseIdentification(bytes);
    parseStatus(bytes);
    parseSingleDigit(bytes, 'M');
    parseSmeter(bytes);
    parseBandwidth(bytes);
    parseU(bytes);
    parseChannel(bytes);
    fuzz::feedReceiver<quorvin::Nrd535Receiver>(data, size);
    return 0;
}
