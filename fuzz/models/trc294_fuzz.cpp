// TRC294 replies (binary): the codec's frame check and status parsers on the
// whole input, and the driver's receive path on the input in pieces.
#include "driver/models/trc294/trc294codec.h"
#include "driver/models/trc294/trc294receiver.h"
#include "modelfeed.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace quorvin::trc294;
    fuzz::Pieces pieces(data, size);
    const std::string_view bytes = pieces.whole();
    hasStatusHeader(bytes);
    isAModelReply(bytes);
    parsePlainStatus(bytes);
    checkReplyFrame(bytes);
    parseAStatus(bytes);
    fuzz::feedReceiver<quorvin::Trc294Receiver>(data, size);
    return 0;
}
