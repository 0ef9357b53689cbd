// NDX264 replies: the codec's frame cutter and status parser on the whole
// input, and the driver's receive path on the input in pieces.
#include "driver/models/ndx264/ndx264codec.h"
#include "driver/models/ndx264/ndx264receiver.h"
#include "modelfeed.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace quorvin::ndx264;
    fuzz::Pieces pieces(data, size);
    const std::string_view bytes = pieces.whole();
    hasIsbOption(bytes);
    parseStatusFrame(bytes);
    std::string buffer(bytes);
    for (int frames = 0; frames < 64; ++frames) {
        const auto frame = takeFrame(buffer);
        if (!frame) {
            break;
        }
        parseStatusFrame(*frame);
    }
    fuzz::feedReceiver<quorvin::Ndx264Receiver>(data, size);
    return 0;
}
