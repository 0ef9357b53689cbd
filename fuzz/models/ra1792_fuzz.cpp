// RA1792 replies: the codec's status parser on the whole input, and the
// driver's receive path on the input in pieces.
#include "driver/models/ra1792/ra1792codec.h"
#include "driver/models/ra1792/ra1792receiver.h"
#include "modelfeed.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::Pieces pieces(data, size);
    quorvin::ra1792::parseStatus(pieces.whole());
    fuzz::feedReceiver<quorvin::Ra1792Receiver>(data, size);
    return 0;
}
