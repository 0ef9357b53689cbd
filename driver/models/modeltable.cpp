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

constexpr std::uint32_t kRaAgcs = A(AgcManual) | A(AgcFast) | A(AgcMedium) | A(AgcSlow) | A(AgcFastManual) |
                                  A(AgcMediumManual) | A(AgcSlowManual);
constexpr std::uint32_t kAllNbl = bitOf(NBlOff) | bitOf(NBlPeek) | bitOf(NBlWide);

using O = ModelOption;

// clang-format off
constexpr std::array<ModelInfo, kModelCount> kModels = {{
    {DrvNRD535, "NRD535", "nrd535.log", {false, 1, 4800, 'n', 8, 1},
     5000, 29999999, 1, -5000, 5000,
     {{{"F_Nar", 1000}, {"F_Int", 2200}, {"F_Wide", 5500}, {"F_Aux", 12000}, {"F_U1", 0}, {"F_U2", 0}, {"F_U3", 0},
       {nullptr, 0}}},
     7, 4, 0,
     M(ModAM) | M(ModCW) | M(ModUSB) | M(ModLSB) | M(ModFM) | M(ModRTTY) | M(ModFAX) | M(ModAM_U) | M(ModAM_L), 0, 7,
     A(AgcManual) | A(AgcFast) | A(AgcSlow), 3,
     kAllNbl, 2,
     bitOf(AttOff) | bitOf(AttOn1), 2,
     true, true, true, 200, 0, false, 0, false,
     O::None, 0, O::None, 0, 0, O::None, 0},

    {DrvRA6790, "RA6790", "ra6790.log", {true, 77, 9600, 'n', 8, 1},
     500000, 30000000, 1, -7999, 7999,
     {{{"F_FL1", 3200}, {"F_FL2", 400}, {"F_FL3", 1400}, {"F_FL4", 8200}, {"F_FL5", 16000}, {"F_FL6", 0},
       {"F_FL7", 20000}, {nullptr, 0}}},
     7, 5, 2,
     M(ModAM) | M(ModCW) | M(ModUSB) | M(ModLSB) | M(ModFM) | M(ModRTTY) | M(ModFAX) | M(ModISB) | M(ModCW_F),
     M(ModRTTY) | M(ModFAX), 6,
     kRaAgcs, 3,
     0, 0, 0, 0,
     false, false, true, 0, 0, false, 0, false,
     O::None, 0, O::A09666, 5000, 0, O::None, 0},

    {DrvRA1792, "RA1792", "ra1792.log", {true, 1, 19200, 'n', 8, 1},
     5000, 30000000, 1, -7999, 7999,
     {{{"F_FL1", 3200}, {"F_FL2", 2700}, {"F_FL3", 300}, {"F_FL4", 1000}, {"F_FL5", 3200}, {"F_FL6", 6000},
       {"F_FL7", 16000}, {nullptr, 0}}},
     7, 5, 2,
     M(ModAM) | M(ModCW) | M(ModUSB) | M(ModLSB) | M(ModFM) | M(ModRTTY) | M(ModFAX), M(ModRTTY) | M(ModFAX), 6,
     kRaAgcs, 3,
     0, 0, 0, 0,
     false, false, false, 0, 0, false, 0, false,
     O::None, 0, O::None, 0, 0, O::None, 0},

    {DrvTRC243, "TRC243", "trc243.log", {true, 0, 9600, 'e', 7, 1},
     5000, 29999999, 1, -7999, 7999,
     {{{"F_FL1", 3400}, {"F_FL6", 3400}, {"F_FL2", 150}, {"F_FL3", 3000}, {"F_FL4", 750}, {"F_FL5", 300},
       {"F_Roof", 12000}, {nullptr, 0}}},
     7, 5, 2,
     M(ModAM) | M(ModCW) | M(ModUSB) | M(ModLSB) | M(ModRTTY) | M(ModFAX) | M(ModISB), M(ModFAX), 7,
     A(AgcFast) | A(AgcMedium) | A(AgcSlow), 3,
     0, 0,
     bitOf(AttOff) | bitOf(AttOn1) | bitOf(AttOn2), 2,
     true, true, true, 100, 1, false, -6, false,
     O::Fm, M(ModFM), O::None, 0, 0, O::None, 0},

    {DrvREK085, "REK085", "rek085.log", {true, 0, 9600, 'o', 7, 1},
     0, 29999999, 1, -2900, 2900,
     {{{"F_W1", 300}, {"F_W2", 3100}, {"F_W3", 8000}, {"F_W4", 0}, {"F_W5", 0}, {"F_W6", 0}, {"F_W7", 0},
       {nullptr, 0}}},
     7, 7, 0,
     M(ModAM) | M(ModCW) | M(ModUSB) | M(ModLSB) | M(ModRTTY) | M(ModFAX) | M(ModISB), 0, 7,
     A(AgcManual) | A(AgcFast) | A(AgcSlow), 3,
     0, 0, 0, 0,
     false, false, false, 100, 0, false, 10, false,
     O::None, 0, O::None, 0, 0, O::None, 0},

    {DrvNDX264, "NDX264", "ndx264.log", {false, -1, 9600, 'n', 8, 1},
     0, 29999999, 10, -3000, 3000,
     {{{"F_FLS", 2700}, {"F_FL1", 12000}, {"F_FL2", 150}, {"F_FL3", 300}, {"F_FL4", 600}, {"F_FL5", 1500},
       {"F_FL6", 3000}, {"F_Roof", 6000}}},
     8, 7, 1,
     M(ModAM) | M(ModCW) | M(ModUSB) | M(ModLSB) | M(ModRTTY) | M(ModFAX), M(ModFAX), 6,
     A(AgcFast) | A(AgcSlow), 2,
     0, 0,
     bitOf(AttOff) | bitOf(AttOn1) | bitOf(AttOn2) | bitOf(AttPre), 3,
     false, false, true, 100, 0, false, 0, false,
     O::None, 0, O::None, 0, 0, O::None, 0},

    {DrvTRC294, "TRC294", "trc294.log", {false, -1, 4800, 'o', 8, 1},
     20000000, 119999999, 1000, 0, 0,
     {{{"F_FLS", 2700}, {"F_FL1", 0}, {"F_FL2", 16000}, {"F_FL3", 36000}, {"F_FL4", 0}, {nullptr, 0}, {nullptr, 0},
       {nullptr, 0}}},
     5, 4, 1,
     M(ModAM) | M(ModFM) | M(ModMPH), 0, 6,
     0, 0,
     0, 0,
     bitOf(AttOff) | bitOf(AttOn1) | bitOf(AttOn2) | bitOf(AttOn3) | bitOf(AttOn4) | bitOf(AttOn5), 5,
     false, false, false, 101, 1, true, 0, false,
     O::Ssb, M(ModCW) | M(ModUSB) | M(ModLSB), O::Ext, 0, 499999999, O::Ssb, 10},

    {DrvHF2050, "HF2050", "HF2050.log", {true, 15, 19200, 'o', 7, 1},
     0, 29999999, 10, -4000, 4000,
     {{{"F_FL1", 300}, {"F_FL2", 1000}, {"F_FL3", 3200}, {"F_FL4", 6000}, {nullptr, 0}, {nullptr, 0}, {nullptr, 0},
       {nullptr, 0}}},
     4, 4, 0,
     M(ModAM) | M(ModCW) | M(ModUSB) | M(ModLSB) | M(ModRTTY) | M(ModFAX), M(ModRTTY) | M(ModFAX), 0,
     A(AgcManual) | A(AgcFast) | A(AgcSlow), 0,
     kAllNbl, 0,
     0, 0,
     true, false, false, 100, 0, false, 0, true,
     O::Isb, M(ModISB), O::None, 0, 0, O::None, 0},
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

const Rek085Variant* rek085Variant(std::int32_t option)
{
    if (option < 0 || option >= static_cast<std::int32_t>(kRek085Variants.size())) {
        return nullptr;
    }
    return &kRek085Variants[static_cast<std::size_t>(option)];
}

}  // namespace quorvin
