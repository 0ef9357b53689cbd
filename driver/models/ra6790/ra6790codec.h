// RA6790 codec: the receiver's command frames, its self-test, type and
// filter-list replies, its status reply and its S-meter scale, as pure
// functions. The mode and AGC code tables are the RA1792's. No I/O.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "driver/models/ra1792/ra1792codec.h"

namespace quorvin::ra6790 {

// "$%d%s\r": the bus address in decimal without leading zeros; an address
// below 0 (none set) goes out as 1.
std::string commandFrame(int busAddress, std::string_view command);

inline constexpr std::string_view kRemote = "S2";
inline constexpr std::string_view kLocal = "S1";
inline constexpr std::string_view kSelfTest = "S6";
inline constexpr std::string_view kOptionsBegin = "S8";
inline constexpr std::string_view kTypeQuery = "TD";
inline constexpr std::string_view kOptionsEnd = "S9";
inline constexpr std::string_view kFilterQuery = "S5";
inline constexpr std::string_view kStatusQuery = "G";

// Setter texts as the RA1792 sends them, and the filter by its bandwidth.
using ra1792::agcCommand;
using ra1792::bfoCommand;
using ra1792::bfoOnWire;
using ra1792::frequencyCommand;
using ra1792::gainCommand;
using ra1792::modeCommand;
std::string filterCommand(std::int32_t hz);  // "I%.2f" in kHz

// The mode and AGC tables are shared with the RA1792.
using ra1792::agcFromCode;
using ra1792::codeFromAgc;
using ra1792::codeFromMode;
using ra1792::modeFromCode;

// The option texts and the lowest frequency each allows.
inline constexpr std::string_view kOptionExtended = "A09666";
inline constexpr std::string_view kOptionStandard = "A08449";
inline constexpr std::int32_t kMaxFrequency = 30000000;
std::int32_t minFrequency(std::string_view option);

// Self-test reply: passed when it holds "OK".
bool selfTestPassed(std::string_view reply);
// The address the self-test reply ends with: the number formed by the two
// characters before its last one (a blank counts as a leading zero).
// Nothing when the reply is shorter than three bytes or they are no number.
std::optional<int> selfTestAddress(std::string_view reply);
// The option the type reply tells: "A09666" when it holds an R standing
// as a word of its own (not a letter inside other text), else "A08449".
std::string_view optionFromTypeReply(std::string_view reply);

// The filter slots rebuilt from the S5 reply.
inline constexpr std::size_t kFilterSlots = 7;
inline constexpr std::int32_t kSidebandWidth = 3200;
struct FilterList {
    std::array<std::int32_t, kFilterSlots> widths{};  // Hz, 0 = empty
    bool isb = false;  // an L item came first
    int usbSlot = -1;  // index of the U item's slot, -1 without one
};
// Nothing for an empty reply or a bare line end. Items are read into the
// slots in order; "L" first sets the first slot to 3200 Hz and makes ISB
// available, "U" sets its slot to 3200 Hz and is the USB filter, any other
// item is a bandwidth in kHz (an item that is no number leaves its slot
// empty, an "L" in a later place counts as a 3200 Hz slot without ISB).
std::optional<FilterList> parseFilterList(std::string_view reply);
// "S7" with the list the other way round: "L,", "U," and "%1.1f," items.
std::string filterListCommand(const FilterList& list);

// One status reply.
struct Status {
    std::int32_t bfoHz = 0;  // 0 when the B field is absent
    bool hasBfo = false;
    std::int32_t frequencyHz = 0;
    int modeCode = 0;
    std::optional<std::int32_t> filterHz;  // I, kHz on the wire
    int agcCode = 0;
    std::optional<int> gain;
    std::optional<int> signal;  // R, the raw level
    int s = 0;
};
// F, D, M and S are required, in that order (I after D, A after M, R
// before S); line ends anywhere are dropped first.
std::optional<Status> parseStatus(std::string_view reply);

// The raw signal level as dBµV: below 35 → -1, 35 → 0, 36 → 1, 37..38 → 2,
// 39..52 → 3, 53..58 → 4, 59..60 → 5, 61..62 → 6, 63..65 → 7,
// 66..171 → raw - 58, 172 and above → 114.
int smeterDbuv(int raw);

}  // namespace quorvin::ra6790
