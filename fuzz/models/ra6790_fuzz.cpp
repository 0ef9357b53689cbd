// RA6790 replies: the codec's parsers on the whole input, and the driver's
// receive path on the input in pieces.
#include "driver/models/ra6790/ra6790codec.h"
#include "driver/models/ra6790/ra6790receiver.h"
#include "modelfeed.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace quorvin::ra6790;
    fuzz::Pieces pieces(data, size);
    const std::string_view bytes = pieces.whole();
    selfTestPassed(bytes);
    selfTestAddress(bytes);
    minFrequency(optionFromTypeReply(bytes));
    if (const auto list = parseFilterList(bytes)) {
        filterListCommand(*list);
    }
    parseStatus(bytes);
    fuzz::feedReceiver<quorvin::Ra6790Receiver>(data, size);
    return 0;
}
