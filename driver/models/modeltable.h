// The table of receiver models: one constant row per DrvType with the
// limits, BFO range, link defaults, filter slots, capabilities and trace
// file of each model. A model driver takes its row and overrides only what
// its protocol does differently; the rows of models whose protocol is not
// built yet are complete all the same, so their capability answers are right.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "interfaces/receivertypes.h"

namespace quorvin {

inline constexpr int kModelCount = 8;  // DrvNRD535 .. DrvHF2050
inline constexpr int kTableFilterSlots = 8;  // most slots a model names

struct LinkDefaults {
    bool busAddressing;
    std::int16_t address;
    std::int32_t speed;
    char parity;  // 'n', 'e', 'o'
    std::int16_t dataBits;
    std::int16_t stopBits;
};

struct FilterSlotInfo {
    const char* name;  // settings value name; nullptr ends the list
    std::int32_t width;  // default bandwidth in Hz, 0 = empty
};

// Which model option widens a capability (see ModelInfo::optionModes etc.).
enum class ModelOption : std::uint8_t {
    None,
    A09666,  // RA6790 hardware option: range down to 5 kHz
    Ext,  // TRC294 O_EXT: range up to 499999999 Hz
    Ssb,  // TRC294 O_SSB: CW, USB, LSB and a 10 Hz step in USB and LSB
    Isb,  // HF2050 O_ISB: ISB
    Fm,  // TRC243 with its FM flag set: FM
};

// The mode offsets of a model, by kind: 1 the tuning offset, 3 where the
// carrier of RTTY and FAX sits against the receiver's own frequency, 4 the
// BFO a mode needs (CW: the instance's default BFO times `cwBfoSign`; RTTY
// and FAX: their kind-3 value). Kind 2 is half the current filter width.
struct ModeOffsets {
    std::int32_t usb;
    std::int32_t lsb;
    std::int32_t isb;
    std::int32_t rtty;
    std::int32_t fax;
    std::int32_t rttyCarrier;
    std::int32_t faxCarrier;
    std::int32_t cwBfoSign;
};

// The offsets most models share: the emulated modes sit below the
// receiver's frequency by their BFO.
inline constexpr ModeOffsets kSharedModeOffsets{.usb = 1400,
                                                .lsb = -1400,
                                                .isb = 1400,
                                                .rtty = 2210,
                                                .fax = 1900,
                                                .rttyCarrier = -2210,
                                                .faxCarrier = -1900,
                                                .cwBfoSign = 1};

// The offset of a mode by kind (2: half of `filterHz`; 4: CW takes `defaultBfo`).
std::int32_t modeOffset(const ModeOffsets& offsets, std::int32_t mod, std::int32_t kind, std::int32_t filterHz,
                        std::int32_t defaultBfo);

struct ModelInfo {
    DrvType type;
    const char* name;
    const char* logFile;
    LinkDefaults link;
    std::int32_t frqMin;
    std::int32_t frqMax;
    std::int32_t frqStep;
    std::int32_t bfoMin;  // both 0: the model has no BFO
    std::int32_t bfoMax;
    std::array<FilterSlotInfo, kTableFilterSlots> filters;
    std::int16_t slotCount;
    std::int16_t offered;  // slots offered outside USB, LSB and ISB
    std::int16_t firstSlot;  // index (from 0) of the slot the receiver's filter code 1 selects

    std::uint32_t modes;  // bit per MODTYPE that exists without options
    std::uint32_t emulated;  // modes reached through another mode and a fixed BFO
    std::int16_t modCount;
    std::uint32_t agcs;  // bit per AGCTYPE
    std::int16_t agcCount;
    std::uint32_t nbls;  // bit per NBLTYPE
    std::int16_t nblCount;
    std::uint32_t atts;  // bit per ATTSTATE
    std::int16_t attCount;
    bool squelch;
    bool hfFilter;
    bool smeter;
    std::int16_t chnCount;
    std::int16_t chnStart;
    bool chnMask;
    std::int16_t outCount;
    // Noise blanker and squelch exist only while the receiver is connected.
    bool controlsWhileConnected;

    // What fitted options change (ModelOption::None: nothing).
    ModelOption modesOption;
    std::uint32_t optionModes;  // modes that exist only with that option
    ModelOption rangeOption;
    std::int32_t optionFrqMin;  // 0: unchanged
    std::int32_t optionFrqMax;  // 0: unchanged
    ModelOption stepOption;
    std::int32_t optionSsbStep;  // step in USB and LSB with that option

    ModeOffsets offsets;
};

constexpr std::uint32_t bitOf(std::int32_t value)
{
    return (value >= 0 && value < 32) ? (1u << value) : 0u;
}

// The row of a driver type; nullptr outside DrvNRD535..DrvHF2050 (DrvTRC298
// has no driver and no row).
const ModelInfo* modelInfo(std::int32_t type);
const std::array<ModelInfo, kModelCount>& modelTable();

// The set of fitted options, one bit per ModelOption.
constexpr std::uint32_t optionBit(ModelOption option)
{
    return option == ModelOption::None ? 0u : (1u << static_cast<unsigned>(option));
}

// Capability answers of a row with the given options fitted.
bool modelModeExists(const ModelInfo& info, std::int32_t mod, std::uint32_t fitted);
std::int32_t modelFrqMin(const ModelInfo& info, std::uint32_t fitted);
std::int32_t modelFrqMax(const ModelInfo& info, std::uint32_t fitted);
std::int32_t modelFrqStep(const ModelInfo& info, std::int32_t mod, std::uint32_t fitted);

// REK085 filter variants (R_MOpt 0..8, default 4): the widths of F_W1..F_W7.
struct Rek085Variant {
    const char* name;
    std::array<std::int32_t, 7> widths;
};
inline constexpr std::int32_t kRek085DefaultVariant = 4;
const Rek085Variant* rek085Variant(std::int32_t option);

}  // namespace quorvin
