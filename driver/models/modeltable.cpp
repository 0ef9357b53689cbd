// The rows of the table of models.
#include "modeltable.h"

namespace quorvin {

namespace {

constexpr std::uint32_t M(MODTYPE m)
{
    return bitOf(m);
}
constexpr std::uint32_t A(AGCTYPE a)
{
    return bitOf(a);
}

constexpr std::uint32_t kRaAgcs =
    A(AgcManual) | A(AgcFast) | A(AgcMedium) | A(AgcSlow) | A(AgcFastManual) | A(AgcMediumManual) | A(AgcSlowManual);
constexpr std::uint32_t kAllNbl = bitOf(NBlOff) | bitOf(NBlPeek) | bitOf(NBlWide);

using O = ModelOption;

// clang-format off
constexpr std::array<ModelInfo, kModelCount> kModels = {{
    {.type = DrvNRD535, .name = "NRD535", .logFile = "nrd535.log",
     .link = {.busAddressing = false, .address = 1, .speed = 4800, .parity = 'n', .dataBits = 8, .stopBits = 1},
     .frqMin = 5000, .frqMax = 29999999, .frqStep = 1, .bfoMin = -5000, .bfoMax = 5000,
     .filters = {{{"F_Nar", 1000}, {"F_Int", 2200}, {"F_Wide", 5500}, {"F_Aux", 12000}, {"F_U1", 0}, {"F_U2", 0},
                  {"F_U3", 0}, {nullptr, 0}}},
     .slotCount = 7, .offered = 4, .firstSlot = 0,
     .modes = M(ModAM) | M(ModCW) | M(ModUSB) | M(ModLSB) | M(ModFM) | M(ModRTTY) | M(ModFAX) | M(ModAM_U) |
              M(ModAM_L),
     .emulated = 0, .modCount = 7,
     .agcs = A(AgcManual) | A(AgcFast) | A(AgcSlow), .agcCount = 3,
     .nbls = kAllNbl, .nblCount = 2,
     .atts = bitOf(AttOff) | bitOf(AttOn1), .attCount = 2,
     .squelch = true, .hfFilter = true, .smeter = true,
     .chnCount = 200, .chnStart = 0, .chnMask = false, .outCount = 0,
     .controlsWhileConnected = false,
     .modesOption = O::None, .optionModes = 0, .rangeOption = O::None, .optionFrqMin = 0, .optionFrqMax = 0,
     .stepOption = O::None, .optionSsbStep = 0,
     // RTTY and FAX are shown at their carrier, above the receiver's frequency.
     .offsets = {.usb = 1400, .lsb = -1400, .isb = 0, .rtty = 2210, .fax = 1900,
                 .rttyCarrier = 2210, .faxCarrier = 1900, .cwBfoSign = -1}},

    {.type = DrvRA6790, .name = "RA6790", .logFile = "ra6790.log",
     .link = {.busAddressing = true, .address = 77, .speed = 9600, .parity = 'n', .dataBits = 8, .stopBits = 1},
     .frqMin = 500000, .frqMax = 30000000, .frqStep = 1, .bfoMin = -7999, .bfoMax = 7999,
     .filters = {{{"F_FL1", 3200}, {"F_FL2", 400}, {"F_FL3", 1400}, {"F_FL4", 8200}, {"F_FL5", 16000},
                  {"F_FL6", 0}, {"F_FL7", 20000}, {nullptr, 0}}},
     .slotCount = 7, .offered = 5, .firstSlot = 2,
     .modes = M(ModAM) | M(ModCW) | M(ModUSB) | M(ModLSB) | M(ModFM) | M(ModRTTY) | M(ModFAX) | M(ModISB) |
              M(ModCW_F),
     .emulated = M(ModRTTY) | M(ModFAX), .modCount = 6,
     .agcs = kRaAgcs, .agcCount = 3,
     .nbls = 0, .nblCount = 0,
     .atts = 0, .attCount = 0,
     .squelch = false, .hfFilter = false, .smeter = true,
     .chnCount = 0, .chnStart = 0, .chnMask = false, .outCount = 0,
     .controlsWhileConnected = false,
     .modesOption = O::None, .optionModes = 0, .rangeOption = O::A09666, .optionFrqMin = 5000, .optionFrqMax = 0,
     .stepOption = O::None, .optionSsbStep = 0,
     .offsets = kSharedModeOffsets},

    {.type = DrvRA1792, .name = "RA1792", .logFile = "ra1792.log",
     .link = {.busAddressing = true, .address = 1, .speed = 19200, .parity = 'n', .dataBits = 8, .stopBits = 1},
     .frqMin = 5000, .frqMax = 30000000, .frqStep = 1, .bfoMin = -7999, .bfoMax = 7999,
     .filters = {{{"F_FL1", 3200}, {"F_FL2", 2700}, {"F_FL3", 300}, {"F_FL4", 1000}, {"F_FL5", 3200},
                  {"F_FL6", 6000}, {"F_FL7", 16000}, {nullptr, 0}}},
     .slotCount = 7, .offered = 5, .firstSlot = 2,
     .modes = M(ModAM) | M(ModCW) | M(ModUSB) | M(ModLSB) | M(ModFM) | M(ModRTTY) | M(ModFAX),
     .emulated = M(ModRTTY) | M(ModFAX), .modCount = 6,
     .agcs = kRaAgcs, .agcCount = 3,
     .nbls = 0, .nblCount = 0,
     .atts = 0, .attCount = 0,
     .squelch = false, .hfFilter = false, .smeter = false,
     .chnCount = 0, .chnStart = 0, .chnMask = false, .outCount = 0,
     .controlsWhileConnected = false,
     .modesOption = O::None, .optionModes = 0, .rangeOption = O::None, .optionFrqMin = 0, .optionFrqMax = 0,
     .stepOption = O::None, .optionSsbStep = 0,
     .offsets = kSharedModeOffsets},

    {.type = DrvTRC243, .name = "TRC243", .logFile = "trc243.log",
     .link = {.busAddressing = true, .address = 0, .speed = 9600, .parity = 'e', .dataBits = 7, .stopBits = 1},
     .frqMin = 5000, .frqMax = 29999999, .frqStep = 1, .bfoMin = -7999, .bfoMax = 7999,
     .filters = {{{"F_FL1", 3400}, {"F_FL6", 3400}, {"F_FL2", 150}, {"F_FL3", 3000}, {"F_FL4", 750},
                  {"F_FL5", 300}, {"F_Roof", 12000}, {nullptr, 0}}},
     .slotCount = 7, .offered = 5, .firstSlot = 2,
     .modes = M(ModAM) | M(ModCW) | M(ModUSB) | M(ModLSB) | M(ModRTTY) | M(ModFAX) | M(ModISB),
     .emulated = M(ModFAX), .modCount = 7,
     .agcs = A(AgcFast) | A(AgcMedium) | A(AgcSlow), .agcCount = 3,
     .nbls = 0, .nblCount = 0,
     .atts = bitOf(AttOff) | bitOf(AttOn1) | bitOf(AttOn2), .attCount = 2,
     .squelch = true, .hfFilter = true, .smeter = true,
     .chnCount = 100, .chnStart = 1, .chnMask = false, .outCount = -6,
     .controlsWhileConnected = false,
     .modesOption = O::Fm, .optionModes = M(ModFM), .rangeOption = O::None, .optionFrqMin = 0, .optionFrqMax = 0,
     .stepOption = O::None, .optionSsbStep = 0,
     .offsets = kSharedModeOffsets},

    {.type = DrvREK085, .name = "REK085", .logFile = "rek085.log",
     .link = {.busAddressing = true, .address = 0, .speed = 9600, .parity = 'o', .dataBits = 7, .stopBits = 1},
     .frqMin = 0, .frqMax = 29999999, .frqStep = 1, .bfoMin = -2900, .bfoMax = 2900,
     .filters = {{{"F_W1", 300}, {"F_W2", 3100}, {"F_W3", 8000}, {"F_W4", 0}, {"F_W5", 0}, {"F_W6", 0},
                  {"F_W7", 0}, {nullptr, 0}}},
     .slotCount = 7, .offered = 7, .firstSlot = 0,
     .modes = M(ModAM) | M(ModCW) | M(ModUSB) | M(ModLSB) | M(ModRTTY) | M(ModFAX) | M(ModISB),
     .emulated = 0, .modCount = 7,
     .agcs = A(AgcManual) | A(AgcFast) | A(AgcSlow), .agcCount = 3,
     .nbls = 0, .nblCount = 0,
     .atts = 0, .attCount = 0,
     .squelch = false, .hfFilter = false, .smeter = false,
     .chnCount = 100, .chnStart = 0, .chnMask = false, .outCount = 10,
     .controlsWhileConnected = false,
     .modesOption = O::None, .optionModes = 0, .rangeOption = O::None, .optionFrqMin = 0, .optionFrqMax = 0,
     .stepOption = O::None, .optionSsbStep = 0,
     .offsets = kSharedModeOffsets},

    {.type = DrvNDX264, .name = "NDX264", .logFile = "ndx264.log",
     .link = {.busAddressing = false, .address = -1, .speed = 9600, .parity = 'n', .dataBits = 8, .stopBits = 1},
     .frqMin = 0, .frqMax = 29999999, .frqStep = 10, .bfoMin = -3000, .bfoMax = 3000,
     .filters = {{{"F_FLS", 2700}, {"F_FL1", 12000}, {"F_FL2", 150}, {"F_FL3", 300}, {"F_FL4", 600},
                  {"F_FL5", 1500}, {"F_FL6", 3000}, {"F_Roof", 6000}}},
     .slotCount = 8, .offered = 7, .firstSlot = 1,
     .modes = M(ModAM) | M(ModCW) | M(ModUSB) | M(ModLSB) | M(ModRTTY) | M(ModFAX),
     .emulated = M(ModFAX), .modCount = 6,
     .agcs = A(AgcManual) | A(AgcFast) | A(AgcSlow), .agcCount = 2,
     .nbls = 0, .nblCount = 0,
     .atts = bitOf(AttOff) | bitOf(AttOn1) | bitOf(AttOn2) | bitOf(AttPre), .attCount = 3,
     .squelch = false, .hfFilter = false, .smeter = true,
     .chnCount = 100, .chnStart = 0, .chnMask = false, .outCount = 0,
     .controlsWhileConnected = false,
     .modesOption = O::None, .optionModes = 0, .rangeOption = O::None, .optionFrqMin = 0, .optionFrqMax = 0,
     .stepOption = O::None, .optionSsbStep = 0,
     .offsets = kSharedModeOffsets},

    {.type = DrvTRC294, .name = "TRC294", .logFile = "trc294.log",
     .link = {.busAddressing = false, .address = -1, .speed = 4800, .parity = 'o', .dataBits = 8, .stopBits = 1},
     .frqMin = 20000000, .frqMax = 119999999, .frqStep = 1000, .bfoMin = 0, .bfoMax = 0,
     .filters = {{{"F_FLS", 2700}, {"F_FL1", 0}, {"F_FL2", 16000}, {"F_FL3", 36000}, {"F_FL4", 0}, {nullptr, 0},
                  {nullptr, 0}, {nullptr, 0}}},
     .slotCount = 5, .offered = 4, .firstSlot = 1,
     .modes = M(ModAM) | M(ModFM) | M(ModMPH),
     .emulated = 0, .modCount = 6,
     .agcs = 0, .agcCount = 0,
     .nbls = 0, .nblCount = 0,
     .atts = bitOf(AttOff) | bitOf(AttOn1) | bitOf(AttOn2) | bitOf(AttOn3) | bitOf(AttOn4) | bitOf(AttOn5),
     .attCount = 5,
     .squelch = false, .hfFilter = false, .smeter = false,
     .chnCount = 101, .chnStart = 1, .chnMask = true, .outCount = 0,
     .controlsWhileConnected = false,
     .modesOption = O::Ssb, .optionModes = M(ModCW) | M(ModUSB) | M(ModLSB), .rangeOption = O::Ext,
     .optionFrqMin = 0, .optionFrqMax = 499999999,
     .stepOption = O::Ssb, .optionSsbStep = 10,
     .offsets = kSharedModeOffsets},

    {.type = DrvHF2050, .name = "HF2050", .logFile = "HF2050.log",
     .link = {.busAddressing = true, .address = 15, .speed = 19200, .parity = 'o', .dataBits = 7, .stopBits = 1},
     .frqMin = 0, .frqMax = 29999999, .frqStep = 10, .bfoMin = -4000, .bfoMax = 4000,
     // F_FLS, the sideband width, is named beyond the four slots in use.
     .filters = {{{"F_FL1", 300}, {"F_FL2", 1000}, {"F_FL3", 3200}, {"F_FL4", 6000}, {"F_FLS", 3200}, {nullptr, 0},
                  {nullptr, 0}, {nullptr, 0}}},
     .slotCount = 4, .offered = 4, .firstSlot = 0,
     .modes = M(ModAM) | M(ModCW) | M(ModUSB) | M(ModLSB) | M(ModRTTY) | M(ModFAX),
     .emulated = M(ModRTTY) | M(ModFAX), .modCount = 0,
     .agcs = A(AgcManual) | A(AgcFast) | A(AgcSlow), .agcCount = 0,
     .nbls = kAllNbl, .nblCount = 0,
     .atts = 0, .attCount = 0,
     .squelch = true, .hfFilter = false, .smeter = false,
     .chnCount = 100, .chnStart = 0, .chnMask = false, .outCount = 0,
     .controlsWhileConnected = true,
     .modesOption = O::Isb, .optionModes = M(ModISB), .rangeOption = O::None, .optionFrqMin = 0, .optionFrqMax = 0,
     .stepOption = O::None, .optionSsbStep = 0,
     .offsets = kSharedModeOffsets},
}};

constexpr std::array<Rek085Variant, 9> kRek085Variants = {{
    {"V1",     {300, 2400, 8000, 0, 0, 0, 0}},
    {"V1Var2", {100, 300, 600, 2400, 8000, 0, 0}},
    {"V1Var3", {100, 300, 600, 1500, 2400, 6000, 8000}},
    {"V1Var4", {100, 300, 1000, 2400, 3400, 6000, 8000}},
    {"V2",     {300, 3100, 8000, 0, 0, 0, 0}},
    {"V2Var2", {100, 300, 600, 3100, 8000, 0, 0}},
    {"V2Var3", {100, 300, 600, 1500, 3100, 6000, 8000}},
    {"V2Var5", {200, 300, 1500, 3100, 8000, 0, 0}},
    {"V2Var6", {200, 300, 400, 1000, 3100, 8000, 0}},
}};
// clang-format on

static_assert(kModels[DrvNRD535].type == DrvNRD535 && kModels[DrvHF2050].type == DrvHF2050,
              "rows stand in DrvType order");

bool fittedHas(std::uint32_t fitted, ModelOption option)
{
    return option != ModelOption::None && (fitted & optionBit(option)) != 0;
}

}  // namespace

const std::array<ModelInfo, kModelCount>& modelTable()
{
    return kModels;
}

const ModelInfo* modelInfo(std::int32_t type)
{
    if (type < 0 || type >= kModelCount) {
        return nullptr;
    }
    return &kModels[static_cast<std::size_t>(type)];
}

bool modelModeExists(const ModelInfo& info, std::int32_t mod, std::uint32_t fitted)
{
    const std::uint32_t bit = bitOf(mod);
    if ((info.modes & bit) != 0) {
        return true;
    }
    return (info.optionModes & bit) != 0 && fittedHas(fitted, info.modesOption);
}

std::int32_t modelFrqMin(const ModelInfo& info, std::uint32_t fitted)
{
    return (info.optionFrqMin != 0 && fittedHas(fitted, info.rangeOption)) ? info.optionFrqMin : info.frqMin;
}

std::int32_t modelFrqMax(const ModelInfo& info, std::uint32_t fitted)
{
    return (info.optionFrqMax != 0 && fittedHas(fitted, info.rangeOption)) ? info.optionFrqMax : info.frqMax;
}

std::int32_t modelFrqStep(const ModelInfo& info, std::int32_t mod, std::uint32_t fitted)
{
    if (info.optionSsbStep != 0 && fittedHas(fitted, info.stepOption) && (mod == ModUSB || mod == ModLSB)) {
        return info.optionSsbStep;
    }
    return info.frqStep;
}

std::int32_t modeOffset(const ModeOffsets& o, std::int32_t mod, std::int32_t kind, std::int32_t filterHz,
                        std::int32_t defaultBfo)
{
    switch (kind) {
    case 1:
        switch (mod) {
        case ModUSB: return o.usb;
        case ModLSB: return o.lsb;
        case ModISB: return o.isb;
        case ModRTTY: return o.rtty;
        case ModFAX: return o.fax;
        default: return 0;
        }
    case 2: return filterHz / 2;
    case 3:
    case 4:
        if (kind == 4 && mod == ModCW) {
            return o.cwBfoSign * defaultBfo;
        }
        return mod == ModRTTY ? o.rttyCarrier : (mod == ModFAX ? o.faxCarrier : 0);
    default: return 0;
    }
}

const Rek085Variant* rek085Variant(std::int32_t option)
{
    if (option < 0 || option >= static_cast<std::int32_t>(kRek085Variants.size())) {
        return nullptr;
    }
    return &kRek085Variants[static_cast<std::size_t>(option)];
}

}  // namespace quorvin
