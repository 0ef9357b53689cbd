// A simulator's command parsing: the receiver named by KORVANE_FUZZ_SIM_MODEL
// takes the input in pieces, as its line delivers it, with the bus address
// and the model switches the second input byte chooses.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzzsupport.h"
#include "simmodels.h"

namespace {

// Every switch some simulator knows; each model takes the ones it has.
constexpr std::string_view kSwitches[] = {"H",        "A",         "SSB",      "ISB",         "241",
                                          "A09666",   "BITE-FAIL", "LOCAL",    "ANY-ADDRESS", "BADADDR",
                                          "NOFILTER", "NOOP",      "BADMODEL", "V1",          "V2Var6"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const sim::SimModel* model = sim::findSimModel(KORVANE_FUZZ_SIM_MODEL);
    if (model == nullptr || model->create == nullptr || size < 2) {
        return 0;
    }
    // Byte 1: the switches (four of them, picked by its bits) and whether the
    // model's own address or the highest it takes is used.
    const std::uint8_t choice = data[1];
    sim::ModelOptions options;
    options.seed = choice;
    const std::size_t first = 4u * ((choice >> 4) & 3u);
    for (std::size_t bit = 0; bit < 4; ++bit) {
        if ((choice & (1u << bit)) != 0) {
            options.options.emplace(kSwitches[(first + bit) % std::size(kSwitches)]);
        }
    }
    const int address = (choice & 0x80u) != 0 && model->maxAddress >= 0 ? model->maxAddress : model->defaultAddress;
    auto receiver = model->create(address, options);
    if (!receiver) {
        return 0;
    }
    // The cutting byte and the line's bytes, without the choice byte.
    std::vector<std::uint8_t> input(data, data + size);
    input.erase(input.begin() + 1);
    fuzz::Pieces pieces(input.data(), input.size());
    for (std::string_view piece = pieces.next(); !piece.empty(); piece = pieces.next()) {
        receiver->feed(piece);
    }
    receiver->resetInput();
    receiver->feed("\r\n");
    return 0;
}
