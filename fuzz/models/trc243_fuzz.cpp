// TRC243 replies: the codec's parsers on the whole input (with and without
// bus addressing), and the driver's receive path on the input in pieces.
#include "driver/models/trc243/trc243codec.h"
#include "driver/models/trc243/trc243receiver.h"
#include "modelfeed.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace quorvin::trc243;
    fuzz::Pieces pieces(data, size);
    const std::string_view bytes = pieces.whole();
    for (const bool bus : {false, true}) {
        if (const auto text = lineText(bytes, bus, 3)) {
            isAcknowledgement(*text);
            parseA(*text);
            parseB(*text);
            parseC(*text);
        }
    }
    parseIdentification(bytes);
    parseA(bytes);
    parseB(bytes);
    parseC(bytes);
    fuzz::feedReceiver<quorvin::Trc243Receiver>(data, size);
    return 0;
}
